// The LAN search run on the fake loop and a fake UDP network, with simulated devices answering
// every request; what each front end says about it is asserted with the front end.
#include "fleet/lan_search_run.h"

#include <gtest/gtest.h>

#include "discovery/search_reply.h"
#include "discovery/search_request.h"
#include "fake_event_loop.h"
#include "fake_udp_socket.h"

namespace fleet {
namespace {

using discovery::kReplyPort;
using Port = LanSearchRun::Port;

discovery::SearchReply device(size_t k) {
    discovery::SearchReply r;
    r.address = {127, 0, 0, static_cast<uint8_t>(k % 250 + 1)};
    r.mac = {0x00, 0xEE, 0x80, 0x12, static_cast<uint8_t>(k >> 8), static_cast<uint8_t>(k)};
    r.model = "AB12";
    r.model2 = "NODE";
    return r;
}

struct Rig {
    explicit Rig(Port port = Port::RebindAtEachPass, size_t devices = 3) {
        for (size_t k = 0; k < devices; ++k) m_devices.push_back(device(k));
        m_net.onSend = [this](const testsupport::FakeUdpNetwork::Sent& s) {
            for (const auto& d : m_devices)
                m_net.deliver(s.fromPort, {discovery::BuildSearchReply(d), "127.0.0.1", 15580}, 5);
        };
        m_hooks.ownAddress = [this] { return m_own; };
        m_hooks.sending = [this](const std::string& own, const std::string& target) {
            m_said.push_back("sending " + own + " " + target);
        };
        m_hooks.refused = [this] { m_said.push_back("refused"); };
        m_hooks.portRefused = [this] { m_said.push_back("port refused"); };
        m_hooks.received = [this](const platform::Datagram&, bool accepted) {
            if (!accepted) m_said.push_back("stranger");
        };
        m_hooks.dropping = [this] { m_said.push_back("dropping"); };
        m_hooks.done = [this](bool complete) { m_done.push_back(complete); };
        m_port = port;
    }
    LanSearchRun& run() {
        if (!m_run)
            m_run = std::make_unique<LanSearchRun>(m_loop, m_net, m_port, m_replies, m_records,
                                                   m_hooks);
        return *m_run;
    }
    void searchToEnd() {
        run().start();
        while (run().running()) m_loop.advance(1);
    }

    testsupport::FakeEventLoop m_loop;
    testsupport::FakeUdpNetwork m_net{m_loop};
    std::vector<discovery::SearchReply> m_devices;
    std::optional<std::string> m_own = "127.0.0.1";
    LanSearchRun::Hooks m_hooks;
    Port m_port;
    devlist::LineStore m_replies{std::vector<std::string>{"shown before"}};
    devlist::LineStore m_records{std::vector<std::string>{"shown before"}};
    std::vector<std::string> m_said;
    std::vector<bool> m_done;
    std::unique_ptr<LanSearchRun> m_run;
};

// Four requests 200 ms apart, one more second for the replies, each device collected once;
// the window binds the port twice a pass, the runner once; both keep collecting until closed.
TEST(LanSearchRun, PassesRequestsRepliesAndThePort) {
    for (Port port : {Port::RebindAtEachPass, Port::BindOnce}) {
        SCOPED_TRACE(port == Port::BindOnce ? "bind once" : "rebind");
        Rig t(port);
        t.searchToEnd();
        ASSERT_EQ(t.m_net.sent.size(), 4u);
        for (size_t i = 0; i < 4; ++i) {
            const auto& s = t.m_net.sent[i];
            EXPECT_EQ(s.host, "127.0.0.255");
            EXPECT_EQ(s.port, 15580);
            EXPECT_EQ(s.fromPort, kReplyPort);
            EXPECT_EQ(s.bytes, discovery::BuildSearchRequest({127, 0, 0, 1}));
            if (i > 0) {
                EXPECT_NEAR(s.atMs - t.m_net.sent[i - 1].atMs, 200, 2);
            }
        }
        EXPECT_NEAR(t.m_loop.tickCount() - t.m_net.sent[3].atMs, 1200, 4);
        EXPECT_EQ(t.m_net.opened.size(), port == Port::BindOnce ? 1u : 8u);
        EXPECT_EQ(t.m_said, std::vector<std::string>(4, "sending 127.0.0.1 127.0.0.255"));
        EXPECT_EQ(t.m_done, std::vector<bool>{true});
        EXPECT_EQ(t.m_replies.size(), 24u);  // 4 requests x 3 devices x 2 lines
        EXPECT_EQ(t.m_records.size(), 3u);
        EXPECT_EQ(t.run().replies(), 12u);
        EXPECT_EQ(t.run().merge({}).viewStore.size(), 3u);

        // After the search: a late reply is collected, and what is no reply is told apart.
        t.m_net.deliver(kReplyPort, {discovery::BuildSearchReply(device(7)), "127.0.0.8", 1});
        t.m_net.deliver(kReplyPort, {"junk", "127.0.0.9", 1});
        t.m_loop.runPending();
        EXPECT_EQ(t.m_records.size(), 4u);
        EXPECT_EQ(t.m_said.back(), "stranger");
        t.run().close();
        t.m_net.deliver(kReplyPort, {discovery::BuildSearchReply(device(8)), "127.0.0.9", 1});
        t.m_loop.runPending();
        EXPECT_EQ(t.m_records.size(), 4u);
    }
}

// More devices than the stores keep: the stores stop at their bounds, said once per search,
// also while the port stays open after it.
TEST(LanSearchRun, AFloodIsBoundedAndSaidOncePerSearch) {
    Rig t(Port::RebindAtEachPass, discovery::kMaxCollected + 100);
    auto drops = [&] { return std::count(t.m_said.begin(), t.m_said.end(), "dropping"); };
    for (int searchNo = 1; searchNo <= 2; ++searchNo) {
        SCOPED_TRACE(searchNo);
        t.searchToEnd();
        EXPECT_EQ(t.m_replies.size(), discovery::kMaxReplyLines);
        EXPECT_EQ(t.m_records.size(), discovery::kMaxCollected);
        EXPECT_EQ(drops(), searchNo);
        t.m_net.deliver(kReplyPort, {discovery::BuildSearchReply(device(3)), "127.0.0.3", 1});
        t.m_loop.runPending();
        EXPECT_EQ(drops(), searchNo);
    }
}

// A pass that cannot go out ends the search at once, with the stores emptied; a refused target
// is sent to the host the front end names, once, and the runner, naming none, carries on.
TEST(LanSearchRun, APassThatCannotGoOut) {
    struct Case {
        const char* name;
        std::function<void(Rig&)> arrange;
        size_t sent;
        std::vector<std::string> said;
        bool complete;
    } cases[] = {
        {"port held",
         [](Rig& t) { t.m_net.heldPorts.insert(kReplyPort); },
         0,
         {"port refused"},
         false},
        {"port held, bound once",
         [](Rig& t) {
             t.m_port = Port::BindOnce;
             t.m_net.heldPorts.insert(kReplyPort);
         },
         0,
         {"port refused"},
         false},
        {"no own address", [](Rig& t) { t.m_own.reset(); }, 0, {}, false},
        {"another host",
         [](Rig& t) {
             t.m_own = "300.0.0.1";
             t.m_hooks.otherHost = [](const std::string& target) {
                 EXPECT_EQ(target, "300.0.0.255");
                 return std::optional<std::string>("127.0.0.255");
             };
         },
         4, std::vector<std::string>(4, "sending 300.0.0.1 300.0.0.255"), true},
        {"the same host again",
         [](Rig& t) {
             t.m_own = "300.0.0.1";
             t.m_hooks.otherHost = [](const std::string&) { return std::nullopt; };
         },
         0,
         {"sending 300.0.0.1 300.0.0.255", "refused"},
         false},
        {"no other host asked", [](Rig& t) { t.m_own = "300.0.0.1"; }, 0,
         std::vector<std::string>(4, "sending 300.0.0.1 300.0.0.255"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig t;
        c.arrange(t);
        t.searchToEnd();
        EXPECT_EQ(t.m_net.sent.size(), c.sent);
        for (const auto& s : t.m_net.sent) EXPECT_EQ(s.host, "127.0.0.255");
        EXPECT_EQ(t.m_said, c.said);
        EXPECT_EQ(t.m_done, std::vector<bool>{c.complete});
        // The stores were emptied at the start: only this search's replies are in them.
        EXPECT_EQ(t.m_records.size(), c.sent > 0 ? 3u : 0u);
        EXPECT_EQ(t.m_replies.size(), 2 * c.sent * t.m_records.size());
    }
}

}  // namespace
}  // namespace fleet
