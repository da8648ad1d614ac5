// Timing of the LAN search core: one reply parsed into its record, a full search's worth of
// replies (999 devices) collected and merged into a full working list, and the search run
// itself with 999 devices answering its four requests on the fake loop and UDP network.
#include <benchmark/benchmark.h>

#include "devlist/device_record.h"
#include "devlist/fields.h"
#include "discovery/registration.h"
#include "discovery/search_reply.h"
#include "fake_event_loop.h"
#include "fake_udp_socket.h"
#include "fleet/lan_search_run.h"

namespace {

discovery::SearchReply device(int i) {
    discovery::SearchReply r;
    r.address = {10, static_cast<uint8_t>(i / 250), static_cast<uint8_t>(i % 250 + 1), 7};
    r.mac = {0x00, 0xEE, 0x80, 0x00, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)};
    r.model = "AB12";
    r.model2 = "NODE01";
    r.versionMajor = 1;
    r.versionLetter = 'a';
    r.counter = 9012345;
    return r;
}

void BM_ParseReply(benchmark::State& state) {
    std::string datagram = discovery::BuildSearchReply(device(1));
    for (auto _ : state) {
        auto reply = discovery::ParseSearchReply(datagram);
        std::string line = discovery::DiscoveryRecord(*reply);
        benchmark::DoNotOptimize(line);
    }
}
BENCHMARK(BM_ParseReply);

// 999 devices answer; the list already holds every one of them, half at another address.
void BM_CollectAndMerge999(benchmark::State& state) {
    std::vector<std::string> datagrams;
    devlist::LineStore view;
    for (int i = 0; i < devlist::kMaxRecords; ++i) {
        discovery::SearchReply r = device(i);
        datagrams.push_back(discovery::BuildSearchReply(r));
        devlist::DeviceRecord listed =
            devlist::DeviceRecord::fromLine(discovery::DiscoveryRecord(r));
        listed.no = devlist::ZeroPad(i + 1, 3);
        if (i % 2) listed.ipAddress = "127.9.9.9";
        view.lines().push_back(listed.toLine());
    }
    for (auto _ : state) {
        devlist::LineStore replies, reg;
        discovery::ReplyCollector collector;
        for (const std::string& d : datagrams) {
            discovery::ReceiveReply(replies, reg, collector, "127.0.0.7", 15580, d);
        }
        discovery::MergeResult m = discovery::MacCheckIns(reg, view);
        benchmark::DoNotOptimize(m);
    }
    state.SetLabel("target < 20 ms");
}
BENCHMARK(BM_CollectAndMerge999)->Unit(benchmark::kMillisecond);

// The run's own cost in virtual time: 4 passes × 999 replies through the port, the stores and
// the collection, then the merge into an empty list.
void BM_SearchRun999(benchmark::State& state) {
    std::vector<std::string> datagrams;
    for (int i = 0; i < devlist::kMaxRecords; ++i)
        datagrams.push_back(discovery::BuildSearchReply(device(i)));
    for (auto _ : state) {
        testsupport::FakeEventLoop loop;
        testsupport::FakeUdpNetwork net(loop);
        net.onSend = [&](const testsupport::FakeUdpNetwork::Sent& s) {
            for (const std::string& d : datagrams)
                net.deliver(s.fromPort, {d, "127.0.0.7", 15580}, 5);
        };
        devlist::LineStore replies, reg;
        fleet::LanSearchRun::Hooks hooks;
        hooks.ownAddress = [] { return std::optional<std::string>("127.0.0.1"); };
        fleet::LanSearchRun run(loop, net, fleet::LanSearchRun::Port::BindOnce, replies, reg,
                                std::move(hooks));
        run.start();
        while (run.running()) loop.advance(50);
        discovery::MergeResult m = run.merge({});
        if (m.added != size_t(devlist::kMaxRecords)) state.SkipWithError("not every device added");
        benchmark::DoNotOptimize(m);
    }
    state.SetLabel("target < 50 ms");
}
BENCHMARK(BM_SearchRun999)->Unit(benchmark::kMillisecond);

}  // namespace
