// The LAN search on fakes: virtual time, scripted dialogs and simulated devices on a fake UDP
// network; the PC's own address is 127.0.0.1 unless a test says otherwise.
#include "shell/lan_search.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "devlist/device_record.h"
#include "devlist/fields.h"
#include "discovery/search_reply.h"
#include "discovery/search_request.h"
#include "fake_event_loop.h"
#include "fake_host_address.h"
#include "fake_udp_socket.h"
#include "scripted_dialogs.h"
#include "text/cp932.h"

namespace shell {
namespace {

using discovery::kReplyPort;
using text::sj;
using Kind = testsupport::ScriptedDialogs::Kind;

discovery::SearchReply device(uint8_t last, uint8_t macLast) {
    discovery::SearchReply r;
    r.address = {127, 0, 0, last};
    r.mac = {0x00, 0xEE, 0x80, 0x12, 0x34, macLast};
    r.model = "AB12";
    r.model2 = "NODE0" + std::to_string(last);
    return r;
}

std::string listed(int no, const std::string& ip, const std::string& mac) {
    devlist::DeviceRecord r;
    r.no = devlist::ZeroPad(no, 3);
    r.ipAddress = ip;
    r.macAddress = mac;
    return r.toLine();
}

// The search and its fakes.
struct Rig {
    Rig() {
        m_state.listEditShown = true;  // the button is on the list-edit screen
        m_state.viewStore.clear();
        m_net.onSend = [this](const testsupport::FakeUdpNetwork::Sent& s) {
            EXPECT_FALSE(m_state.isEnabled(Control::LanSearch));
            for (const auto& d : m_devices) {
                m_net.deliver(s.fromPort, {discovery::BuildSearchReply(d), "127.0.0.1", 15580}, 5);
            }
        };
    }
    LanSearch& search() {
        if (!m_search) {
            LanSearch::Hooks hooks;
            hooks.logMessage = [this](const std::string& l) { m_log.push_back(l); };
            hooks.showWorkingList = [this] { ++m_redraws; };
            m_search = std::make_unique<LanSearch>(m_state, m_loop, m_dialogs, m_net, m_host,
                                                   std::move(hooks));
        }
        return *m_search;
    }
    // The search and the time it takes: its passes and the replies' wait go on by a timer.
    void searchToEnd() {
        search().run();
        while (search().running()) m_loop.advance(1);
    }

    WindowState m_state;
    testsupport::FakeEventLoop m_loop;
    testsupport::ScriptedDialogs m_dialogs;
    testsupport::FakeUdpNetwork m_net{m_loop};
    testsupport::FakeHostAddress m_host;
    std::vector<discovery::SearchReply> m_devices;
    std::vector<std::string> m_log;
    int m_redraws = 0;
    std::unique_ptr<LanSearch> m_search;
};

class LanSearchTest : public ::testing::Test, public Rig {};

TEST_F(LanSearchTest, FourRequestsThenTheRepliesMergedIntoTheWorkingList) {
    m_devices = {device(9, 1), device(8, 2), device(7, 3)};
    m_state.viewStore.lines() = {listed(1, "127.0.0.5", "00:EE:80:12:34:01"),
                                 listed(2, "127.0.0.8", "00:ee:80:12:34:02")};
    search().setOwnAddress("127.0.0.1");  // as --own-address gives it: nothing to remark
    searchToEnd();

    ASSERT_EQ(m_net.sent.size(), 4u);  // the passes: LanSearchRun
    EXPECT_EQ(m_state.pcIpCaption, "127.0.0.1");
    EXPECT_EQ(m_state.udpHostCaption, "127.0.0.255");

    EXPECT_EQ(m_state.searchRegStore.size(), 3u);
    ASSERT_EQ(m_state.viewStore.size(), 4u);
    EXPECT_EQ(devlist::FieldGet(devlist::kIpAddress, m_state.viewStore[0]), "127.0.0.9");
    EXPECT_EQ(devlist::FieldGet(devlist::kMacAddress, m_state.viewStore[2]), "00:EE:80:12:34:02");
    EXPECT_EQ(devlist::FieldGet(devlist::kNo, m_state.viewStore[3]), "004");
    std::vector<std::string> log = {sj("No.001 IP変更 127.0.0.5 -> 127.0.0.9"),
                                    sj("127.0.0.8  検索> AB12-NODE08を登録します。"),
                                    sj("127.0.0.7  検索> AB12-NODE07を登録します。"),
                                    sj("LAN上検索の結果: 応答 12件、登録済み 1台 (IP変更 1台)、"
                                       "追加 2台、登録せず 0台")};
    EXPECT_EQ(m_log, log);
    EXPECT_TRUE(m_state.isEnabled(Control::Apply));
    EXPECT_TRUE(m_state.isEnabled(Control::LanSearch));
    EXPECT_EQ(m_redraws, 1);
    EXPECT_TRUE(m_dialogs.shown().empty());

    // A late reply is collected but reaches the list only through the next search.
    auto late = device(6, 6);
    m_net.deliver(kReplyPort, {discovery::BuildSearchReply(late), "127.0.0.6", 15580});
    m_loop.runPending();
    EXPECT_EQ(m_state.searchRegStore.size(), 4u);
    EXPECT_EQ(m_state.viewStore.size(), 4u);
}

// More devices than the stores keep answer every request: the log says so once.
TEST_F(LanSearchTest, AFloodOfRepliesIsLoggedOnce) {
    for (size_t k = 0; k < discovery::kMaxCollected + 100; ++k) {
        auto d = device(static_cast<uint8_t>(k % 250 + 1), static_cast<uint8_t>(k));
        d.mac[4] = static_cast<uint8_t>(k >> 8);
        m_devices.push_back(d);
    }
    searchToEnd();
    EXPECT_EQ(m_state.viewStore.size(), 999u);
    EXPECT_EQ(std::count(m_log.begin(), m_log.end(),
                         sj("LAN上検索の応答が上限を超えたため、以降の応答の一部を破棄します。")),
              1);
}

TEST_F(LanSearchTest, NoReplyWarnsAndLeavesTheListAsItWas) {
    m_state.viewStore.lines() = {listed(1, "127.0.0.5", "00:EE:80:12:34:01")};
    auto before = m_state.viewStore;
    searchToEnd();
    EXPECT_EQ(m_dialogs.shownUtf8(), std::vector<std::string>{"対象機器が見つかりませんでした。"});
    EXPECT_EQ(m_log.back(), sj("LAN上検索の結果: 応答 0件、登録済み 0台 (IP変更 0台)、追加 0台、"
                               "登録せず 0台"));
    EXPECT_EQ(m_state.viewStore, before);
    EXPECT_FALSE(m_state.isEnabled(Control::Apply));
    EXPECT_TRUE(m_state.isEnabled(Control::LanSearch));
}

// A search refused, or a pass that cannot go out (LanSearchRun), is said in the window's words;
// the button is enabled again and nothing is merged or collected.
TEST_F(LanSearchTest, ASearchThatCannotGoOutIsSaidAndTheButtonEnabledAgain) {
    struct Case {
        const char* name;
        std::function<void(Rig&)> arrange;
        Kind kind;
        std::vector<std::string> shown;
        size_t collected;  // refused, the search leaves the replies; started, it empties them
    } cases[] = {
        {"pending edits",
         [](Rig& t) { t.m_state.setEnabled(Control::Apply, true); },
         Kind::Warning,
         {"LAN上検索を行うには適用してください。"},
         1},
        {"port held",
         [](Rig& t) { t.m_net.heldPorts.insert(kReplyPort); },
         Kind::Warning,
         {"UDPポート 9010 を開けないため、LAN上検索を行えません。他のプログラムが使用していないか"
          "確認してください。"},
         0},
        {"no address",
         [](Rig& t) { t.m_host.address.reset(); },
         Kind::Warning,
         {"PCのIPアドレスが取得できないため、LAN上検索を行えません。"},
         0},
        {"invalid host, no other",
         [](Rig& t) {
             t.search().setOwnAddress("300.0.0.1");  // a target no lookup resolves
             t.m_dialogs.answerText(std::nullopt);
         },
         Kind::Error,
         {"Invalid Host!\nSpecify a new host:", "Host Lookup Canceled"},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig t;
        t.m_devices = {device(9, 1)};
        t.m_state.searchRegStore.lines() = {"kept"};
        c.arrange(t);
        t.searchToEnd();
        EXPECT_EQ(t.m_dialogs.shownUtf8(), c.shown);
        EXPECT_EQ(t.m_dialogs.shown().back().kind, c.kind);
        EXPECT_TRUE(t.m_net.sent.empty());
        EXPECT_TRUE(t.m_state.isEnabled(Control::LanSearch));
        EXPECT_TRUE(t.m_state.viewStore.empty());
        EXPECT_EQ(t.m_state.searchRegStore.size(), c.collected);
    }
}

TEST_F(LanSearchTest, LoopbackHostAddressIsLoggedOnceAndTheOverrideAsksNoHost) {
    m_host.address = "127.0.1.1";
    m_devices = {device(9, 1)};
    searchToEnd();
    ASSERT_EQ(m_log.size(), 3u);  // the remark, the device added, the summary
    EXPECT_NE(m_log[0].find("--own-address"), std::string::npos);
    EXPECT_EQ(m_net.sent[0].host, "127.0.1.255");
    EXPECT_EQ(m_host.lookups, 4);

    m_log.clear();
    m_state.setEnabled(Control::Apply, false);
    search().setOwnAddress("127.0.0.1");
    searchToEnd();
    EXPECT_EQ(m_host.lookups, 4);
    EXPECT_EQ(m_net.sent.back().host, "127.0.0.255");
    // The known device, at the same address: only the summary.
    EXPECT_EQ(m_log, std::vector<std::string>{sj("LAN上検索の結果: 応答 4件、登録済み 1台 "
                                                 "(IP変更 0台)、追加 0台、登録せず 0台")});
}

}  // namespace
}  // namespace shell
