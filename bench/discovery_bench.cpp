// Timing of the LAN search core: one reply parsed into its record, and a full search's worth
// of replies (999 devices) collected and merged into a full working list.
#include <benchmark/benchmark.h>

#include "devlist/device_record.h"
#include "devlist/fields.h"
#include "discovery/registration.h"
#include "discovery/search_reply.h"

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

}  // namespace
