// Session start, the connection's notices, the time-out, and what happens around the waits:
// chunks inside the login pause, a session destroyed meanwhile, late chunks after the end,
// hostile file names, floods and a transcript split at every byte.
#include <cerrno>

#include "session_rig.h"
#include "text/cp932.h"

namespace sessiontest {
namespace {

TEST(Start, LogsConnectsAndWritesTheTerminalHeader) {
    Rig rig;
    auto& s = rig.make();
    s.start("127.0.0.5", 2323, 12, devlist::LineStore({"a"}), true);
    EXPECT_EQ(s.step(), SessionStep::Login);
    EXPECT_EQ(s.result(), session::kResultPending);
    EXPECT_TRUE(s.timeoutActive());
    EXPECT_TRUE(s.resetPending());
    EXPECT_EQ(rig.conn().host(), "127.0.0.5");
    EXPECT_EQ(rig.conn().port(), 2323);
    EXPECT_EQ(rig.logs, std::vector<std::string>{text::sj("No.012 (127.0.0.5) 接続中")});
    rig.loop.runPending();
    EXPECT_EQ(s.terminal().bytes(),
              "//--- CONNECT LOG roomIP:127.0.0.5 MAC:00:ee:80:00:00:01 26/12/07 09:05:03\r\n\r\n");
    EXPECT_EQ(rig.logs.back(), "No.012 (127.0.0.5) Connected");

    // Errors are cleared and leave no trace.
    rig.conn().fireError(10061);
    rig.loop.runPending();
    EXPECT_EQ(rig.conn().lastErrorCode(), 0);
    EXPECT_EQ(rig.logs.size(), 2u);
    EXPECT_TRUE(rig.dialogs.shown().empty());
}

TEST(Start, AConnectionThatCannotBeOpenedEndsByTheTimeOut) {
    for (long long port : {23LL, 70000LL, -1LL}) {
        Rig rig;
        rig.make();
        rig.conn().refuseOpen = true;
        rig.session->start("127.0.0.9", port, 1, {}, false);
        rig.loop.runPending();
        ASSERT_EQ(rig.logs.size(), 2u);
        EXPECT_EQ(rig.logs[1], "127.0.0.9:" + std::to_string(port) + text::sj(" 接続失敗"));
        rig.loop.advance(session::kTimeoutFirstMs - 1);
        EXPECT_EQ(rig.ended, 0);
        rig.loop.advance(1);
        EXPECT_EQ(rig.ended, 1);
        EXPECT_EQ(rig.session->result(), session::kResultTimeOut);
        EXPECT_EQ(rig.step(), SessionStep::Login);
    }
}

// A device that sends a byte every 2 ms and never a prompt: no wait is ever nested, the chunks
// waiting for their pause keep a few results each and are bounded, and the session ends once,
// by its time-out, which closes the connection: later chunks are neither taken nor shown.
TEST(Reentry, ATenMinuteTrickleKeepsTheStackFlatAndEndsByTheTimeOut) {
    Rig rig;
    rig.start();
    rig.loop.resetMaxWaitDepth();
    constexpr uint32_t kMinutes = 10, kEveryMs = 2;
    const uint32_t chunks = kMinutes * 60 * 1000 / kEveryMs;
    uint32_t shown = 0;
    for (uint32_t i = 0; i < chunks; ++i) {
        rig.conn().deliver(i % 2 ? "x" : "\x82");  // half a two-byte character now and then
        if (!rig.ended) shown = i + 1;
        rig.loop.advance(kEveryMs);
        EXPECT_LE(rig.session->pendingLoginChunks(), session::kMaxPendingLoginChunks);
        if (i * kEveryMs == session::kTimeoutFirstMs) {
            EXPECT_EQ(rig.ended, 1);
            EXPECT_EQ(rig.session->result(), session::kResultTimeOut);
        }
    }
    EXPECT_EQ(rig.loop.maxWaitDepth(), 0);
    EXPECT_EQ(rig.ended, 1);
    EXPECT_EQ(rig.session->result(), session::kResultTimeOut);
    EXPECT_EQ(rig.step(), SessionStep::Login);
    EXPECT_EQ(rig.conn().sent(), "");
    EXPECT_FALSE(rig.conn().isOpen());
    EXPECT_EQ(rig.session->pendingLoginChunks(), 0u);
    EXPECT_EQ(rig.session->terminal().size(),
              rig.session->terminal().bytes().find("\r\n\r\n") + 4 + 3 * shown);
}

TEST(Reentry, TheSessionMayBeDestroyedDuringTheLoginPause) {
    Rig rig;
    rig.start();
    auto conn = rig.net.connections().back();
    conn->deliver("QLX> ");
    rig.loop.postAt(rig.loop.tickCount() + 100, [&] { rig.session.reset(); });
    rig.loop.advance(session::kLoginPauseMs);
    EXPECT_EQ(rig.session, nullptr);
    EXPECT_EQ(conn->sent(), "");
    EXPECT_FALSE(conn->socketAlive());
    rig.loop.advance(20000);
    EXPECT_EQ(rig.ended, 0);
}

// A device that answers late is not configured under a record that says it timed out: the
// time-out closes the connection, in whatever step, the terminal keeps what came before, and
// late chunks put no value into the editor or the session's copy of the record.
TEST(Ending, TheTimeOutClosesTheConnectionAndNothingMoreIsSentOrHandled) {
    for (size_t prefix : {size_t{0}, size_t{1}, size_t{3}, size_t{4}, size_t{9}}) {
        SCOPED_TRACE(prefix);
        Rig rig;
        rig.start({".x=1"});
        auto t = sendTranscript();
        rig.feedAll(t, prefix);
        if (prefix < 3) {
            // A prompt whose pause is still running when the time-out comes.
            rig.loop.advance(session::kTimeoutFirstMs - rig.loop.tickCount() - 100);
            rig.conn().deliver("QLX> ");
            rig.loop.runPending();
            ASSERT_TRUE(rig.session->loginPauseActive());
        }
        rig.loop.advance(session::kTimeoutDialogueMs);
        ASSERT_EQ(rig.ended, 1);
        EXPECT_EQ(rig.session->result(), session::kResultTimeOut);
        EXPECT_FALSE(rig.conn().isOpen());
        const std::string terminal = rig.session->terminal().bytes();
        const SessionStep step = rig.step();
        rig.panel.rec.macAddress = "editor";
        auto values = [&rig] {
            const auto &e = rig.panel.rec, &s = rig.session->served().rec;
            return std::vector{e.modelVersion, e.macAddress, e.deviceName,
                               s.modelVersion, s.macAddress, s.deviceName};
        };
        const auto before = values();
        rig.takeSent();
        for (size_t i = prefix; i < t.size(); ++i) rig.feed(t[i]);
        rig.loop.advance(session::kTimeoutDialogueMs);
        EXPECT_EQ(rig.takeSent(), "");
        EXPECT_EQ(rig.session->terminal().bytes(), terminal);
        EXPECT_EQ(rig.step(), step);
        EXPECT_EQ(values(), before);
        EXPECT_EQ(rig.file("QLX00ee80000001R1.txt"), "<missing>");
        EXPECT_EQ(rig.ended, 1);
        EXPECT_EQ(rig.session->result(), session::kResultTimeOut);
    }
}

TEST(Files, HostileNamesNeverWriteOutsideTheWorkFolder) {
    Rig rig;
    // A folder name code page 932 cannot hold: the files still go into it, by its native name.
    fs::path work = rig.dir / "M\xC3\xBCller" / "data";
    fs::create_directories(work);
    rig.panel.saveName = "../../esc\\a\x01:";
    // The work folder two levels down, so an escape would land in rig.dir.
    rig.make(work);
    rig.session->start("127.0.0.5", 23, 1, {}, false);
    auto t = sendTranscript();
    t[4] = "?ifPhysAddress=/../../../esc/..\r\nQLX> ";
    t[5] = "?sysName=\"../x\"\r\nQLX> ";
    rig.feedAll(t);
    EXPECT_EQ(rig.ended, 1);
    EXPECT_EQ(rig.session->result(), session::kResultOk);
    std::vector<std::string> names;
    for (auto& e : fs::recursive_directory_iterator(rig.dir)) {
        if (e.is_directory()) continue;
        ASSERT_EQ(e.path().parent_path(), work) << e.path();
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"QLX__________esc___l20.txt", "______esc_a__R1.txt",
                                               "______esc_a__q1.txt", "______esc_a__q2.txt"}));
}

// A flood in the login step or a dump: the texts stay within their cap, the last packet keeps
// only a chunk's head (never half a character), and the session still ends by its time-out.
TEST(Flood, TextWithoutAMarkerStaysBoundedUntilTheTimeOut) {
    for (size_t prefix : {size_t{0}, size_t{6}}) {  // the login step; waiting for the first dump
        SCOPED_TRACE(prefix);
        Rig rig;
        const size_t cap = size_t{1} << 20;
        rig.make({}, cap);
        rig.session->start("127.0.0.5", 23, 1, {}, false);
        rig.loop.runPending();
        rig.feedAll(sendTranscript(), prefix);
        const std::string chunk(64 * 1024, 'z');
        // All at once: in the login step they wait for their pauses together.
        for (int i = 0; i < 64; ++i) rig.conn().deliver(chunk);
        rig.loop.runPending();
        EXPECT_LE(rig.session->pendingLoginChunks(), session::kMaxPendingLoginChunks);
        for (const auto* t : {&rig.session->terminal(), &rig.session->deviceLog()}) {
            EXPECT_LE(t->size(), cap);
        }
        EXPECT_EQ(rig.session->terminal().bytes().substr(0, session::BoundedText::cutMark().size()),
                  session::BoundedText::cutMark());
        EXPECT_EQ(rig.session->lastPacket(), chunk.substr(0, session::kLastPacketBytes));
        // A two-byte character across the cut is left out whole.
        std::string split(session::kLastPacketBytes - 1, 'y');
        rig.feed(split + "\x8a\xbf" + chunk);
        EXPECT_EQ(rig.session->lastPacket(), split);
        rig.loop.advance(session::kTimeoutDialogueMs);
        EXPECT_EQ(rig.ended, 1);
    }
}

// The device's values go into the editor's boxes, which the window shows, and into the
// session's own copy of the record taken at its start, which the result is recorded from. The
// operator may open another record in the editor meanwhile; the copy is not touched by that.
TEST(Values, GoIntoTheEditorAndTheSessionsCopy) {
    Rig rig;
    rig.panel.rec.listName = "served";
    rig.start();
    rig.panel.rec.listName = "other";  // the operator opened another record
    auto t = sendTranscript();
    rig.feedAll(t, 4);  // the version is in
    EXPECT_EQ(rig.panel.rec.modelVersion, "V1.23");
    EXPECT_EQ(rig.session->served().rec.modelVersion, "V1.23");
    EXPECT_EQ(rig.session->served().rec.listName, "served");
}

// Every split of one chunk of a whole transcript into two: never more than one end, and the
// dialogue ends by completing or by its time-out. A split with every marker of the chunk on one
// side behaves as the unsplit chunk would, as far as the device can see.
TEST(Split, AWholeTranscriptSplitAtEveryByte) {
    const std::vector<std::string> markers = {
        "ready.", "ID:", "rd:", "Incorrect", "re:", "exists.", ">", "> ", "LOAD_END", "----", "."};
    auto hasMarker = [&](std::string_view s) {
        for (auto& m : markers)
            if (s.find(m) != std::string_view::npos) return true;
        return false;
    };
    // True when the split point lies inside an occurrence of a marker.
    auto cuts = [&](const std::string& s, size_t at) {
        for (auto& m : markers)
            for (size_t p = s.find(m); p != std::string::npos; p = s.find(m, p + 1))
                if (p < at && at < p + m.size()) return true;
        return false;
    };
    const auto t = sendTranscript();
    Rig ref;
    ref.start({".x=1"});
    ref.feedAll(t);
    ASSERT_EQ(ref.session->result(), session::kResultOk);
    int compared = 0;
    for (size_t j = 0; j < t.size(); ++j) {
        for (size_t at = 1; at < t[j].size(); ++at) {
            Rig rig;
            rig.start({".x=1"});
            for (size_t i = 0; i < t.size(); ++i) {
                if (i != j) {
                    rig.feed(t[i]);
                    continue;
                }
                rig.feed(t[i].substr(0, at));
                rig.feed(t[i].substr(at));
            }
            rig.loop.advance(2 * session::kTimeoutDialogueMs);
            SCOPED_TRACE("chunk " + std::to_string(j) + " split at " + std::to_string(at));
            ASSERT_EQ(rig.ended, 1);
            int r = rig.session->result();
            ASSERT_TRUE(r == session::kResultOk || r == session::kResultTimeOut);
            std::string a = t[j].substr(0, at), b = t[j].substr(at);
            if (!cuts(t[j], at) && (!hasMarker(a) || !hasMarker(b))) {
                ++compared;
                EXPECT_EQ(rig.conn().sent(), ref.conn().sent());
                EXPECT_EQ(r, session::kResultOk);
            }
        }
    }
    EXPECT_GT(compared, 100);
}

}  // namespace
}  // namespace sessiontest
