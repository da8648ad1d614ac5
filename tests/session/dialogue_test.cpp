// The step machine chunk by chunk: the login's time-out, every step with and without its marker,
// the values read from the device, the closing commands by mode and option, and the four files.
#include "session_rig.h"
#include "text/cp932.h"

namespace sessiontest {
namespace {

using session::kResultOk;
using session::kResultTimeOut;

const std::vector<std::string> kLines = {".x=1", ".y=2"};

// Feeds the transcript until the session waits in step s (send mode).
void reach(Rig& rig, SessionStep s, const std::vector<std::string>& lines = kLines) {
    static const std::pair<SessionStep, size_t> kPrefix[] = {
        {SessionStep::Login, 0},         {SessionStep::ReadVersion, 3},
        {SessionStep::ReadMac, 4},       {SessionStep::ReadName, 5},
        {SessionStep::DumpBefore, 6},    {SessionStep::StreamSettings, 7},
        {SessionStep::DumpAfter, 10},    {SessionStep::ReadLog20, 11},
        {SessionStep::SettlePrompt, 12}, {SessionStep::QuitPrompt, 13},
        {SessionStep::AwaitClose, 14},   {SessionStep::Idle, 15},
    };
    rig.start(lines);
    for (auto [step, n] : kPrefix)
        if (step == s) rig.feedAll(sendTranscript(), n);
    ASSERT_EQ(rig.step(), s);
    rig.takeSent();
}

TEST(Login, ThePromptGivesTheRestOfTheDialogueTenSeconds) {
    Rig rig;
    rig.start();
    rig.loop.advance(4000);
    rig.feed("QLX> ");
    uint32_t prompt = rig.loop.tickCount();
    rig.loop.advance(session::kTimeoutDialogueMs - 1 - (rig.loop.tickCount() - prompt));
    rig.feedAll({"ver V1\r\n>", "?ifPhysAddress=m\r\n>"});  // no later step restarts it
    rig.loop.advance(prompt + session::kTimeoutDialogueMs - rig.loop.tickCount());
    EXPECT_EQ(rig.ended, 1);
    EXPECT_EQ(rig.session->result(), kResultTimeOut);
    EXPECT_EQ(rig.step(), SessionStep::ReadName) << "a time-out leaves the step";
}

TEST(Steps, ChunkWithoutTheMarkerChangesNothingButTheDumpAndLogStores) {
    struct Case {
        SessionStep step;
        std::string chunk;
        bool intoDeviceLog;
    };
    const Case cases[] = {
        {SessionStep::ReadVersion, "ver V1.23\r\n", false},
        {SessionStep::ReadMac, "?ifPhysAddress=00:11\r\n", false},
        {SessionStep::ReadName, "?sysName=\"A\"\r\n", false},
        {SessionStep::DumpBefore, ".a=1\r\nLOAD_EN", true},
        {SessionStep::StreamSettings, "QLX>", false},
        {SessionStep::DumpAfter, "OAD_END\r\n> ", true},
        {SessionStep::ReadLog20, "--- x\r\n> ", true},
        {SessionStep::SettlePrompt, "QLX>\r\n", false},
        {SessionStep::QuitPrompt, ">", false},
        {SessionStep::AwaitClose, "bye\r\n> ", false},
        {SessionStep::Idle, "ready. ID: > LOAD_END ---- .", false},
    };
    for (const auto& c : cases) {
        Rig rig;
        reach(rig, c.step);
        std::string log = rig.session->deviceLog().bytes();
        std::string term = rig.session->terminal().bytes();
        rig.feed(c.chunk);
        EXPECT_EQ(rig.step(), c.step) << c.chunk;
        EXPECT_EQ(rig.conn().sent(), "") << c.chunk;
        EXPECT_EQ(rig.session->terminal().bytes(), term + c.chunk + "\r\n") << c.chunk;
        EXPECT_EQ(rig.session->lastPacket(), c.chunk);
        EXPECT_EQ(rig.session->deviceLog().bytes(), c.intoDeviceLog ? log + c.chunk + "\r\n" : log)
            << c.chunk;
    }
}

TEST(Steps, ChunkWithTheMarkerSendsAndMovesOn) {
    struct Case {
        SessionStep step;
        std::string chunk;
        std::string sent;
        SessionStep next;
        std::string echo;  // the terminal's last line after the chunk
        std::vector<std::string> lines = kLines;
    };
    const Case cases[] = {
        {SessionStep::ReadVersion, ">", "?ifPhysAddress\r", SessionStep::ReadMac,
         "[?ifPhysAddress]\r"},
        {SessionStep::ReadMac, ">", "?sysName\r", SessionStep::ReadName, "[?sysName]\r"},
        {SessionStep::ReadName, ">", "&save\r", SessionStep::DumpBefore, "[&save]\r"},
        {SessionStep::DumpBefore, "LOAD_END", "\r", SessionStep::StreamSettings, "[CR]"},
        {SessionStep::StreamSettings, "> ", ".x=1\r", SessionStep::StreamSettings, "> "},
        // Without settings lines the first prompt asks for the second dump.
        {SessionStep::StreamSettings, "> ", "&save\r", SessionStep::DumpAfter, "[&save]\r", {}},
        {SessionStep::DumpAfter, "LOAD_END", "log 20\r", SessionStep::ReadLog20, "[log 20]\r"},
        {SessionStep::ReadLog20, "----", "\r", SessionStep::SettlePrompt, "[CR]"},
        {SessionStep::SettlePrompt, "> ", "\r", SessionStep::QuitPrompt, "[CR]"},
        {SessionStep::QuitPrompt, "> ", "q\r", SessionStep::AwaitClose, "[q]\r"},
        {SessionStep::AwaitClose, ".", "", SessionStep::Idle, "."},
    };
    for (const auto& c : cases) {
        Rig rig;
        reach(rig, c.step, c.lines);
        rig.feed(c.chunk);
        EXPECT_EQ(rig.conn().sent(), c.sent) << c.chunk;
        EXPECT_EQ(rig.step(), c.next) << c.chunk;
        std::string tail = c.echo + "\r\n";
        const std::string& term = rig.session->terminal().bytes();
        EXPECT_EQ(term.substr(term.size() - tail.size()), tail) << c.chunk;
        EXPECT_EQ(rig.ended, c.next == SessionStep::Idle ? 1 : 0);
    }
}

TEST(Steps, ValuesComeFromTheFirstLineOfTheReplyChunk) {
    struct Case {
        SessionStep step;
        std::string chunk;
        std::string devlist::DeviceRecord::*box;
        std::string value;
    };
    using R = devlist::DeviceRecord;
    const Case cases[] = {
        {SessionStep::ReadVersion, "ver=V1.23\r\n>", &R::modelVersion, "V1.23"},
        {SessionStep::ReadVersion, "ver=V\r\n>", &R::modelVersion, "V"},
        {SessionStep::ReadVersion, "ver=\r\n>", &R::modelVersion, ""},
        {SessionStep::ReadVersion, "ver=V1.23>", &R::modelVersion, ""},
        {SessionStep::ReadVersion, ">", &R::modelVersion, ""},
        {SessionStep::ReadMac, "?ifPhysAddress=00:11:22:33:44:55\r\n>", &R::macAddress,
         "00:11:22:33:44:55"},
        {SessionStep::ReadMac, "?ifPhysAddress=\r\n>", &R::macAddress, ""},
        {SessionStep::ReadName, "?sysName=\"ROOM-A\"\r\n>", &R::deviceName, "ROOM-A"},
        {SessionStep::ReadName, "?sysName=\"A\"\r\n>", &R::deviceName, "A"},
        {SessionStep::ReadName, "?sysName=\"\"\r\n>", &R::deviceName, ""},
    };
    for (const auto& c : cases) {
        Rig rig;
        reach(rig, c.step);
        rig.panel.rec.*c.box = "before";
        rig.feed(c.chunk);
        EXPECT_EQ(rig.panel.rec.*c.box, c.value) << c.chunk;
    }
}

TEST(Steps, DumpDropsTheFirstTwoLinesAndTheBreakBeforeTheMarker) {
    Rig rig;
    reach(rig, SessionStep::DumpAfter);
    rig.feedAll({"&save\r\n", "x1\r\nx2\r\n", "x3\r\nLOAD_END\r\n> "});
    EXPECT_EQ(rig.file("QLX00ee80000001q2.txt"),
              "//--- SEND DATA roomIP:127.0.0.5 MAC:00:11:22:33:44:55 26/12/07 09:05:03\r\r\n"
              "x1\r\nx2\r\n\r\nx3\r\n");

    Rig early;  // the marker within the first three bytes: nothing of the chunk is kept
    reach(early, SessionStep::DumpBefore);
    early.feed("\r\nLOAD_END");
    EXPECT_EQ(early.file("QLX00ee80000001q1.txt"),
              "//--- LOAD DATA roomIP:127.0.0.5 MAC:00:11:22:33:44:55 26/12/07 09:05:03\r\r\n"
              "\r\n");
}

TEST(Steps, LogKeepsThirtyFourBytesFromTheDashes) {
    Rig rig;
    reach(rig, SessionStep::ReadLog20);
    rig.panel.saveName = "other";
    rig.feed("ev\r\n" + std::string(40, '-') + "\r\n> ");
    EXPECT_EQ(rig.file("QLX001122334455l20.txt"),
              "//--- LOG 20 DATA otherIP:127.0.0.5 MAC:00:11:22:33:44:55 26/12/07 09:05:03\r\n"
              "ev\r\n" +
                  std::string(34, '-') + "\r\n");
}

// The closing commands and the last command, by mode and option, on a whole dialogue.
TEST(Closing, ModesAndOptionsSteerTheClosingCommands) {
    struct Case {
        const char* name;
        SessionMode mode;
        bool options[6];  // time, ip, dhcp, name, write, reset
        bool resetFromFile;
        std::string closing;  // sent after "log 20" and before the final CR CR
        std::string last;
    };
    const std::string dateTime = "DATE 26/12/07\rTIME 09:05:03\r";
    const Case cases[] = {
        {"send, none", SessionMode::SingleSend, {}, false, "", "q"},
        {"send, all",
         SessionMode::BulkSend,
         {1, 1, 1, 1, 1, 1},
         false,
         dateTime + ".ipAdEntAddr=127.0.0.5\r.dhcpEnabled=0\r.sysName=\"ROOM-A\"\rWRITE\r",
         "CPURESET"},
        {"send, time", SessionMode::SingleSend, {1, 0, 0, 0, 0, 0}, false, dateTime, "q"},
        {"send, ip",
         SessionMode::SingleSend,
         {0, 1, 0, 0, 0, 0},
         false,
         ".ipAdEntAddr=127.0.0.5\r",
         "q"},
        {"send, dhcp", SessionMode::SingleSend, {0, 0, 1, 0, 0, 0}, false, ".dhcpEnabled=0\r", "q"},
        {"send, name",
         SessionMode::SingleSend,
         {0, 0, 0, 1, 0, 0},
         false,
         ".sysName=\"ROOM-A\"\r",
         "q"},
        {"send, write", SessionMode::SingleSend, {0, 0, 0, 0, 1, 0}, false, "WRITE\r", "q"},
        {"send, reset", SessionMode::SingleSend, {0, 0, 0, 0, 0, 1}, false, "", "CPURESET"},
        {"send, reset from file", SessionMode::BulkSend, {}, true, "", "CPURESET"},
        {"check, none", SessionMode::SingleCheck, {}, false, "", "q"},
        {"check, all", SessionMode::BulkCheck, {1, 1, 1, 1, 1, 1}, false, dateTime, "q"},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.mode = c.mode;
        bool check = session::IsCheckMode(c.mode);
        rig.start(kLines, c.resetFromFile);
        auto t = sendTranscript();
        if (check) t.erase(t.begin() + 6, t.begin() + 10);  // no first dump, no settings
        rig.feedAll(t, t.size() - 4);
        // The options are read when the log is in, not at the start.
        bool* opts[] = {&rig.setTime,      &rig.registerIp, &rig.disableDhcp,
                        &rig.registerName, &rig.write,      &rig.cpuReset};
        for (int i = 0; i < 6; ++i) *opts[i] = c.options[i];
        for (size_t i = t.size() - 4; i < t.size(); ++i) rig.feed(t[i]);
        std::string expected = "\radmin\rplume\rver\r?ifPhysAddress\r?sysName\r&save\r" +
                               std::string(check ? "" : "\r.x=1\r.y=2\r&save\r") + "log 20\r" +
                               c.closing + "\r\r" + c.last + "\r";
        EXPECT_EQ(rig.conn().sent(), expected) << c.name;
        EXPECT_EQ(rig.session->result(), kResultOk) << c.name;
        EXPECT_EQ(rig.ended, 1) << c.name;
        EXPECT_EQ(rig.session->resetPending(), c.last == "CPURESET") << c.name;
        EXPECT_EQ(rig.session->writePending(), !check && c.options[4]) << c.name;
        EXPECT_EQ(rig.file("QLX00ee80000001q1.txt") == "<missing>", check) << c.name;
        EXPECT_EQ(rig.fileCount(), check ? 3u : 4u) << c.name;
    }
}

// ".sysName=" repeats the name as the device reported it, whole and with its comma: a name cut
// or blanked for the record would rename the device. Only the record keeps the bounded value.
TEST(Closing, TheNameCommandRepeatsTheReportedNameTheRecordKeepsItBounded) {
    const std::string longName = "ROOM,A-1234567890123456789012345678901234567890";
    struct Case {
        std::string reply;  // the answer to "?sysName"
        std::string sent;   // the name in the command
        std::string kept;   // the record's name
    } cases[] = {
        {"?sysName=\"" + longName + "\"\r\nQLX> ", longName, "ROOM A-12345678901234567890123"},
        {"?sysName=\"ROOM-A\"\r\nQLX> ", "ROOM-A", "ROOM-A"},
        {"QLX> ", "", ""},  // not the expected form: an empty name, as the record gets
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.registerName = true;
        rig.start(kLines);
        auto t = sendTranscript();
        t[5] = c.reply;
        rig.feedAll(t, 11);
        rig.panel.rec.deviceName = "typed";  // the editor's box is not what the command repeats
        rig.takeSent();
        rig.feed(t[11]);
        EXPECT_EQ(rig.takeSent(), ".sysName=\"" + c.sent + "\"\r\r") << c.reply;
        EXPECT_EQ(rig.session->served().rec.deviceName, c.kept) << c.reply;
    }
}

TEST(Closing, StoppedBeforeTheNameStillAsksForTheDumpThenWaitsIdle) {
    Rig rig;
    reach(rig, SessionStep::ReadName);
    rig.mode = SessionMode::Stopped;
    rig.feed("?sysName=\"A\"\r\n>");
    EXPECT_EQ(rig.takeSent(), "&save\r");
    EXPECT_EQ(rig.step(), SessionStep::Idle);
    rig.feed("LOAD_END\r\n> ");
    EXPECT_EQ(rig.takeSent(), "");
    rig.loop.advance(session::kTimeoutDialogueMs);
    EXPECT_EQ(rig.session->result(), kResultTimeOut);
    EXPECT_EQ(rig.ended, 1);
}

// The four files of a whole send run, byte for byte. Header and echo lines keep their own CR,
// so they end CR CR LF in every file.
TEST(Files, WholeSendRunWritesTheFourFilesByteForByte) {
    Rig rig;
    rig.start(kLines);
    const auto t = sendTranscript();
    rig.feedAll(t);
    ASSERT_EQ(rig.ended, 1);
    const std::string tail = " 26/12/07 09:05:03";
    EXPECT_EQ(rig.file("QLX00ee80000001q1.txt"),
              "//--- LOAD DATA roomIP:127.0.0.5 MAC:00:11:22:33:44:55" + tail +
                  "\r\r\n&save\r\n.a=1\r\n.b=2\r\n");
    EXPECT_EQ(rig.file("QLX00ee80000001q2.txt"),
              "//--- SEND DATA roomIP:127.0.0.5 MAC:00:11:22:33:44:55" + tail +
                  "\r\r\n&save\r\n.a=7\r\n.b=8\r\n");
    EXPECT_EQ(rig.file("QLX001122334455l20.txt"),
              "//--- LOG 20 DATA QLX00ee80000001IP:127.0.0.5 MAC:00:11:22:33:44:55" + tail +
                  "\r\nlog 20\r\n12/07 boot\r\n---------- end\r\nQLX> \r\n");
    auto L = [](const std::string& s) { return s + "\r\n"; };
    std::string r1 = L("//--- CONNECT LOG roomIP:127.0.0.5 MAC:00:ee:80:00:00:01" + tail) + L("") +
                     L(t[0]) + L(t[1]) + L(t[2]) + L("[ver]\r") + L(t[3]) +
                     L("[?ifPhysAddress]\r") + L(t[4]) + L("[?sysName]\r") + L(t[5]) +
                     L("[&save]\r") + L(t[6]) + L("[CR]") + L(t[7]) + L(t[8]) + L(t[9]) +
                     L("[&save]\r") + L(t[10]) + L("[log 20]\r") + L(t[11]) + L("[CR]") + L(t[12]) +
                     L("[CR]") + L(t[13]) + L("[q]\r") + L(t[14]);
    EXPECT_EQ(rig.file("QLX00ee80000001R1.txt"), r1);
    EXPECT_EQ(rig.session->terminal().bytes(), r1);
    EXPECT_EQ(rig.panel.rec.modelVersion, "V1.23");
    EXPECT_EQ(rig.panel.rec.deviceName, "ROOM-A");
    EXPECT_EQ(rig.logs, (std::vector<std::string>{text::sj("No.007 (127.0.0.5) 接続中"),
                                                  "No.007 (127.0.0.5) Connected"}));
}

}  // namespace
}  // namespace sessiontest
