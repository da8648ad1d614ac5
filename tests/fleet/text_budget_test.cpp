// What a run keeps of its devices' texts: one pool that sessions draw from as they grow, so a big
// dump is kept whole beside many quiet devices while floods stay within the pool. A text cut for
// memory anyway makes its session a failure, the file made of it says so in its first line, and
// no dump so cut is compared as if it were whole.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "../session/session_rig.h"
#include "fake_clock.h"
#include "fake_event_loop.h"
#include "fake_tcp_socket.h"
#include "file_bytes.h"
#include "fleet/dump_diff.h"
#include "fleet/fleet_run.h"
#include "fleet/result_rule.h"
#include "silent_dialogs.h"
#include "text/cp932.h"

namespace {

namespace fs = std::filesystem;
using session::BoundedText;
using session::SessionMode;

constexpr size_t kMiB = size_t{1} << 20;

// The variables of a dump, whole lines of about 40 bytes up to `bytes`, in chunks of about
// `chunkBytes`; `tag` makes the values of one dump differ from another's.
std::vector<std::string> dumpLines(size_t bytes, size_t chunkBytes, char tag) {
    std::vector<std::string> chunks(1);
    size_t total = 0;
    for (int i = 0; total < bytes; ++i) {
        std::string line = ".v" + std::to_string(1000000 + i) + "=" + std::string(24, tag) + "\r\n";
        if (chunks.back().size() + line.size() > chunkBytes) chunks.emplace_back();
        chunks.back() += line;
        total += line.size();
    }
    return chunks;
}

std::string joined(const std::vector<std::string>& chunks) {
    std::string out;
    for (const auto& c : chunks) out += c;
    return out;
}

// A device's answer to "&save": the echo, the variables, the end mark; none when it floods.
std::vector<std::string> dumpAnswer(const std::vector<std::string>& lines, bool flood = false) {
    std::vector<std::string> out{"&save\r\n"};
    out.insert(out.end(), lines.begin(), lines.end());
    if (!flood) out.push_back("LOAD_END\r\nQLX> ");
    return out;
}

// The first line of a file and the bytes after it.
std::pair<std::string, std::string> splitFirstLine(const std::string& file) {
    size_t end = file.find("\r\n");
    if (end == std::string::npos) return {file, ""};
    return {file.substr(0, end), file.substr(end + 2)};
}

class TextPoolRun : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::path(::testing::TempDir()) / ("text_pool_" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    fs::path m_dir;
    testsupport::FakeEventLoop m_loop;
    testsupport::FakeClock m_clock;
    testsupport::FakeNetwork m_network{m_loop};
    testsupport::SilentDialogs m_dialogs;
    fleet::ListWriter m_writer{""};
};

TEST_F(TextPoolRun, SessionsDrawTheirTextsFromOnePoolOfTheRun) {
    struct Case {
        const char* what;
        int devices;
        size_t budget;
        size_t dumpBytes;
        bool flood;           // no end mark: the dump never ends
        bool allAnswer;       // else only the first device, the others stay silent
        std::string message;  // of each answering device
        bool whole;           // the first device's dump file holds the whole dump
    } cases[] = {
        {"a 3 MiB dump beside 127 quiet devices is kept whole", 128, fleet::kRunTextBudgetBytes,
         3 * kMiB, false, false, text::sj("#000 OK 正常送信"), true},
        {"flooding devices end as time-outs within the pool", 4, 2 * kMiB, 4 * kMiB, true, true,
         "#404 NG Time Out", false},
        {"a dump the pool cannot hold is cut and is no success", 1, kMiB, 3 * kMiB, false, true,
         "#507 NG Text Cut", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path work = m_dir / std::to_string(&c - cases);
        fs::create_directories(work);
        std::vector<fleet::FleetDevice> devices;
        for (int i = 1; i <= c.devices; ++i) {
            char mac[32];
            std::snprintf(mac, sizeof mac, "00:ee:80:00:%02x:%02x", i / 256, i % 256);
            devices.push_back({i,
                               "001,F0000001,d" + std::to_string(i) + ",127.0.0." +
                                   std::to_string(i) + ",80,23," + mac + ",,,a,p,x.txt,,",
                               {}});
        }
        fleet::FleetOptions options;
        options.parallel = c.devices;
        options.workFolder = work;
        options.recordResults = false;
        options.textBudgetBytes = c.budget;
        std::map<int, std::string> messages;
        fleet::FleetRun::Hooks hooks;
        hooks.deviceDone = [&](const fleet::DeviceResult& r) {
            messages[r.device.number] = r.row.message;
        };
        const size_t first = m_network.connections().size();
        fleet::FleetRun run(m_loop, m_clock, m_network, m_dialogs, m_writer, options, devices,
                            hooks);
        run.start();
        m_loop.runPending();
        ASSERT_EQ(m_network.connections().size() - first, static_cast<size_t>(c.devices));

        const std::vector<std::string> lines = dumpLines(c.dumpBytes, 64 * 1024, 'a');
        std::vector<std::string> answers = {"login ready.\r\nUser ID:",
                                            "Password:",
                                            "\r\nWelcome\r\nQLX> ",
                                            "ver V1.23\r\nQLX> ",
                                            "?ifPhysAddress=00:11:22:33:44:55\r\nQLX> ",
                                            "?sysName=\"ROOM-A\"\r\nQLX> "};
        const size_t answering = c.allAnswer ? static_cast<size_t>(c.devices) : 1;
        for (const std::string& chunk : answers) {
            for (size_t i = 0; i < answering; ++i)
                m_network.connections()[first + i]->deliver(chunk);
            m_loop.runPending();
            m_loop.advance(250);  // past the login pause
        }
        for (size_t i = 0; i < answering; ++i)
            for (const std::string& chunk : dumpAnswer(lines, c.flood))
                m_network.connections()[first + i]->deliver(chunk);
        m_loop.runPending();
        for (const char* chunk :
             {"log 20\r\n12/07 boot\r\n---------- end\r\nQLX> ", "QLX> ", "QLX> ", "bye.\r\n"}) {
            if (c.flood) break;
            m_network.connections()[first]->deliver(chunk);
            m_loop.runPending();
        }
        m_loop.advance(20000);
        ASSERT_TRUE(run.finished());

        for (size_t i = 0; i < answering; ++i)
            EXPECT_EQ(messages[static_cast<int>(i + 1)], c.message);
        EXPECT_LE(run.textPool().peak(), c.budget);
        // The pool, not a share per session, is what holds the floods back.
        if (c.flood) {
            EXPECT_GE(run.textPool().peak(), c.budget / 2);
        }
        EXPECT_EQ(run.textPool().drawn(), 0u) << "every text gives back what it drew";
        if (c.flood) continue;
        const std::string dump = testsupport::readBytes(work / "QLX00ee80000001q2.txt");
        EXPECT_EQ(BoundedText::saysHeadCut(dump), !c.whole);
        if (c.whole) {
            EXPECT_EQ(fleet::DiffLines(fleet::CompareDumps(dump, joined(lines))),
                      std::vector<std::string>{"no change"});
        }
    }
}

TEST(TextCut, ACutTextIsAFailureSaysSoInItsFirstLineAndIsNeverCompared) {
    const size_t cap = 64 * 1024;
    struct Case {
        const char* what;
        SessionMode mode;
        size_t q1Bytes, q2Bytes;  // q1: send mode only
        bool q2OneChunk;          // the variables and the end mark in one chunk
        bool clsAfterQ1;          // the operator empties the terminal ("↑CLS") after the dump
        int result;
        bool q1Cut, q2Cut, r1Cut;
    } cases[] = {
        {"check: a dump past the cap", SessionMode::SingleCheck, 0, 3 * cap, false, false,
         session::kResultTextCut, false, true, true},
        {"check: the chunk with the end mark cuts the dump", SessionMode::SingleCheck, 0, 2 * cap,
         true, false, session::kResultTextCut, false, true, true},
        {"send: the dump before is cut, all else goes well", SessionMode::SingleSend, 3 * cap,
         cap / 4, false, false, session::kResultTextCut, true, false, true},
        {"send: the dump before is cut, the transcript emptied after it", SessionMode::SingleSend,
         3 * cap, cap / 4, false, true, session::kResultTextCut, true, false, false},
        {"send: only the transcript is cut", SessionMode::SingleSend, cap * 6 / 10, cap * 6 / 10,
         false, false, session::kResultTextCut, false, false, true},
        {"send: every text fits", SessionMode::SingleSend, cap / 4, cap / 4, false, false,
         session::kResultOk, false, false, false},
    };
    const std::vector<std::string> t = sessiontest::sendTranscript();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sessiontest::Rig rig;
        rig.mode = c.mode;
        const bool send = c.mode == SessionMode::SingleSend;
        rig.make({}, cap).start(rig.panel.rec.ipAddress, 23, 1,
                                devlist::LineStore(std::vector<std::string>{".x=1", ".y=2"}),
                                false);
        rig.loop.runPending();
        rig.feedAll(t, 6);                                      // up to "&save"
        std::map<std::string, std::vector<std::string>> dumps;  // the dump step's chunks, by file
        auto playDump = [&](const std::string& name, size_t bytes, bool oneChunk, char tag) {
            std::vector<std::string> chunks = dumpAnswer(dumpLines(bytes, 4096, tag));
            if (oneChunk)
                chunks = {"&save\r\n",
                          joined(dumpLines(bytes, SIZE_MAX, tag)) + "\r\nLOAD_END\r\nQLX> "};
            rig.feedAll(chunks);
            dumps[name] = chunks;
        };
        const std::string q1 = rig.panel.saveName + "q1.txt", q2 = rig.panel.saveName + "q2.txt";
        if (send) {
            playDump(q1, c.q1Bytes, false, 'b');
            if (c.clsAfterQ1) rig.session->clearTerminal();
            rig.feedAll({t[7], t[8], t[9]});  // a prompt per settings line, and one more
        }
        playDump(q2, c.q2Bytes, c.q2OneChunk, 'a');
        rig.feedAll({t[11], t[12], t[13], t[14]});
        ASSERT_TRUE(rig.session->ended());
        EXPECT_EQ(rig.session->result(), c.result);
        fleet::Outcome o;
        o.result = rig.session->result();
        EXPECT_EQ(fleet::ResultMessage(o), c.result == session::kResultOk
                                               ? text::sj("#000 OK 正常送信")
                                               : std::string("#507 NG Text Cut"));

        // A cut dump file: its header first, saying that the head is cut, in place of the cut
        // mark; then every line the store kept, none taken for the command's echo.
        for (const auto& [name, chunks] : dumps) {
            SCOPED_TRACE(name);
            const bool cut = name == q1 ? c.q1Cut : c.q2Cut;
            const std::string file = rig.file(name);
            EXPECT_EQ(BoundedText::saysHeadCut(file), cut);
            std::string error;
            EXPECT_EQ(fleet::ReadDumpFile(rig.dir / name, error).has_value(), !cut);
            EXPECT_EQ(error.find("lost its head") != std::string::npos, cut);
            if (!cut) continue;
            auto [top, rest] = splitFirstLine(file);
            EXPECT_TRUE(top.starts_with(name == q1 ? "//--- LOAD DATA " : "//--- SEND DATA "));
            EXPECT_TRUE(top.ends_with(BoundedText::headCutNote() + "\r"));
            // What the device log keeps of the same chunks; the echo lines go only while the
            // log is whole.
            BoundedText log(cap);
            const std::string& last = chunks.back();
            for (size_t i = 0; i + 1 < chunks.size(); ++i) log.append(chunks[i]);
            if (!log.headCut()) {
                std::string kept = log.take();
                for (int n = 0; n < 2 && !kept.empty(); ++n) kept.erase(0, kept.find("\r\n") + 2);
                if (!kept.empty()) log.append(kept.substr(0, kept.size() - 2));
            }
            const size_t end = last.find("LOAD_END");
            log.append(last.substr(0, end > 2 ? end - 2 : 0));
            ASSERT_TRUE(log.headCut());
            EXPECT_EQ(rest, splitFirstLine(log.bytes()).second);
        }
        const std::string r1 = rig.file(rig.panel.saveName + "R1.txt");
        EXPECT_EQ(BoundedText::saysHeadCut(r1), c.r1Cut);
        EXPECT_EQ(r1.starts_with(BoundedText::cutMark() + "\r\n"), c.r1Cut);
        if (!send) continue;
        // What a send changed is told only from two whole dumps.
        const fleet::SendDumps read = fleet::ReadSendDumps(rig.dir, rig.panel.saveName);
        const bool refused = c.q1Cut || c.q2Cut;
        EXPECT_EQ(read.error.find("lost its head") != std::string::npos, refused) << read.error;
        EXPECT_EQ(
            fleet::SendChanges(rig.dir, rig.panel.saveName, fs::file_time_type::min()).has_value(),
            !refused);
    }
}

}  // namespace
