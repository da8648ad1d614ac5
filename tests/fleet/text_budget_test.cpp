// One pool for a run's texts; a text cut for memory fails its session and is never compared.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "../session/session_rig.h"
#include "file_bytes.h"
#include "fleet/dump_diff.h"
#include "fleet/fleet_run.h"
#include "text/cp932.h"

namespace {

using session::BoundedText;
using session::SessionMode;
constexpr size_t kMiB = size_t{1} << 20;

// The answer to "&save": echo, variables up to `bytes` in chunks, the end mark unless it floods.
std::vector<std::string> dumpAnswer(size_t bytes, size_t chunkBytes, char tag, bool flood = false) {
    std::vector<std::string> out{"&save\r\n", ""};
    for (int i = 0; bytes > 0; ++i) {
        std::string line = ".v" + std::to_string(1000000 + i) + "=" + std::string(24, tag) + "\r\n";
        if (out.back().size() + line.size() > chunkBytes) out.emplace_back();
        out.back() += line;
        bytes -= std::min(bytes, line.size());
    }
    if (!flood) out.push_back("LOAD_END\r\nQLX> ");
    return out;
}

TEST(TextPool, SessionsOfARunDrawTheirTextsFromOnePool) {
    struct Case {
        const char* what;
        int devices;
        size_t budget, dumpBytes;
        bool flood, allAnswer;  // no end mark; else only the first device answers
        std::string message;
    } cases[] = {
        {"a 3 MiB dump beside 127 quiet devices is kept whole", 128, fleet::kRunTextBudgetBytes,
         3 * kMiB, false, false, text::sj("#000 OK 正常送信")},
        {"flooding devices end as time-outs within the pool", 4, 2 * kMiB, 4 * kMiB, true, true,
         "#404 NG Time Out"},
        {"a dump the pool cannot hold is cut and no success", 1, kMiB, 3 * kMiB, false, true,
         "#507 NG Text Cut"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sessiontest::Rig rig;
        std::vector<fleet::FleetDevice> devices;
        for (int i = 1; i <= c.devices; ++i) {
            char line[96];
            std::snprintf(line, sizeof line,
                          "001,F0000001,d,127.0.0.%d,80,23,00:ee:80:00:%02x:%02x,,,a,p,x.txt,,", i,
                          i / 256, i % 256);
            devices.push_back({i, line, {}});
        }
        fleet::FleetOptions options;
        options.parallel = c.devices;
        options.workFolder = rig.dir;
        options.textBudgetBytes = c.budget;
        fleet::FleetRun run(rig.loop, rig.clock, rig.net, rig.dialogs, nullptr, options, devices,
                            {});
        run.start();
        rig.loop.runPending();
        const auto& conns = rig.net.connections();
        ASSERT_EQ(conns.size(), static_cast<size_t>(c.devices));
        const size_t answering = c.allAnswer ? conns.size() : 1;
        std::vector<std::string> answers(sessiontest::sendTranscript());
        answers.resize(6);  // up to "&save"
        std::vector<std::string> dump = dumpAnswer(c.dumpBytes, 64 * 1024, 'a', c.flood);
        std::vector<std::string> tail;
        if (!c.flood) tail = {"log 20\r\n---------- end\r\nQLX> ", "QLX> ", "QLX> ", "bye.\r\n"};
        for (const auto* part : {&answers, &dump, &tail}) {
            for (const std::string& chunk : *part) {
                for (size_t d = 0; d < answering; ++d) conns[d]->deliver(chunk);
                rig.loop.runPending();
                if (part == &answers) rig.loop.advance(250);  // past the login pause
            }
        }
        rig.loop.advance(20000);
        ASSERT_TRUE(run.finished());
        for (const fleet::ReportRow& row : run.rows())
            EXPECT_EQ(row.message, row.number == 1 || c.allAnswer ? c.message : "#404 NG Time Out");
        EXPECT_LE(run.textPool().peak(), c.budget);
        EXPECT_GE(run.textPool().peak(), c.flood ? c.budget / 2 : 0);  // not a share per session
        EXPECT_EQ(run.textPool().drawn(), 0u);
        if (c.flood) continue;
        const std::string q2 = testsupport::readBytes(rig.dir / "QLX00ee80000001q2.txt");
        EXPECT_EQ(BoundedText::saysHeadCut(q2), !c.message.starts_with("#000"));
        if (BoundedText::saysHeadCut(q2)) continue;
        EXPECT_TRUE(fleet::CompareDumps(q2, dumpAnswer(c.dumpBytes, SIZE_MAX, 'a')[1]).empty());
    }
}

TEST(TextCut, ACutTextIsAFailureSaysSoInItsFirstLineAndIsNeverCompared) {
    const size_t cap = 64 * 1024;
    struct Case {
        const char* what;
        SessionMode mode;
        size_t q1Bytes, q2Bytes;
        bool q2OneChunk, clsAfterQ1;  // q2's variables with its end mark; "↑CLS" after q1
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
    };
    const std::vector<std::string> t = sessiontest::sendTranscript();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sessiontest::Rig rig;
        rig.mode = c.mode;
        rig.make({}, cap).start(rig.panel.rec.ipAddress, 23, 1,
                                devlist::LineStore(std::vector<std::string>{".x=1", ".y=2"}),
                                false);
        rig.loop.runPending();
        rig.feedAll(t, 6);  // up to "&save"
        std::map<std::string, std::vector<std::string>> dumps;
        const std::string q1 = rig.panel.saveName + "q1.txt", q2 = rig.panel.saveName + "q2.txt";
        if (c.mode == SessionMode::SingleSend) {
            rig.feedAll(dumps[q1] = dumpAnswer(c.q1Bytes, 4096, 'b'));
            if (c.clsAfterQ1) rig.session->clearTerminal();
            rig.feedAll({t[7], t[8], t[9]});  // a prompt per settings line, and one more
        }
        dumps[q2] = dumpAnswer(c.q2Bytes, c.q2OneChunk ? SIZE_MAX : 4096, 'a');
        if (c.q2OneChunk) dumps[q2] = {dumps[q2][0], dumps[q2][1] + dumps[q2][2]};
        rig.feedAll(dumps[q2]);
        rig.feedAll({t[11], t[12], t[13], t[14]});
        ASSERT_TRUE(rig.session->ended());
        EXPECT_EQ(rig.session->result(), c.result);
        // A cut dump: its header says so in place of the cut mark, then all the store kept.
        for (const auto& [name, chunks] : dumps) {
            SCOPED_TRACE(name);
            const bool cut = name == q1 ? c.q1Cut : c.q2Cut;
            const std::string file = rig.file(name);
            EXPECT_EQ(BoundedText::saysHeadCut(file), cut);
            std::string error;
            EXPECT_EQ(fleet::ReadDumpFile(rig.dir / name, error).has_value(), !cut);
            EXPECT_EQ(error.find("lost its head") != std::string::npos, cut);
            if (!cut) continue;
            EXPECT_TRUE(file.starts_with(name == q1 ? "//--- LOAD DATA " : "//--- SEND DATA "));
            BoundedText log(cap);
            for (size_t i = 0; i + 1 < chunks.size(); ++i) log.append(chunks[i]);
            if (!log.headCut()) log.take();  // the echo goes while the store is whole
            const size_t end = chunks.back().find("LOAD_END");
            log.append(chunks.back().substr(0, end > 2 ? end - 2 : 0));
            ASSERT_TRUE(log.headCut());
            EXPECT_EQ(file.substr(file.find("\r\n")), log.bytes().substr(log.bytes().find("\r\n")));
        }
        const std::string r1 = rig.file(rig.panel.saveName + "R1.txt");
        EXPECT_EQ(r1.starts_with(BoundedText::cutMark() + "\r\n"), c.r1Cut);
        if (c.mode != SessionMode::SingleSend) continue;
        const fleet::SendDumps read = fleet::ReadSendDumps(rig.dir, rig.panel.saveName);
        EXPECT_EQ(read.error.find("lost its head") != std::string::npos, c.q1Cut || c.q2Cut);
    }
}

}  // namespace
