// The login on virtual time: every marker's answer or refusal, each login chunk tested when its
// own 200 ms pause ends, a chunk that comes during a pause with a pause of its own inside it, and
// the pending chunks tested latest first. The device answers every command 1 ms after it once the
// login is through, so a refusal that were tested too late would show as a whole dialogue.
#include <algorithm>
#include <utility>

#include "session_rig.h"

namespace sessiontest {
namespace {

using Sends = std::vector<std::pair<uint32_t, std::string>>;

// What the prompt device answers; a command it does not know gets a prompt. Its dump and its log
// hold the login's refusal markers as device text.
std::string answerTo(std::string_view command) {
    static const std::pair<std::string_view, std::string_view> kAnswers[] = {
        {"ver\r", "ver V1.23\r\nQLX> "},
        {"?ifPhysAddress\r", "?ifPhysAddress=00:11:22:33:44:55\r\nQLX> "},
        {"?sysName\r", "?sysName=\"ROOM-A\"\r\nQLX> "},
        {"&save\r", "&save\r\n.a=1\r\n.sysDescr=Firmware: 1.0\r\nLOAD_END\r\nQLX> "},
        {"log 20\r", "log 20\r\n12/07 link failure: cable\r\n---------- end\r\nQLX> "},
        {"q\r", "bye.\r\n"},
    };
    for (auto [c, a] : kAnswers)
        if (command == c) return std::string(a);
    return "QLX> ";
}

// Plays the login chunks at their times (ms after the connection) to a device that answers every
// command from "ver" on a millisecond later, for 2 s; the time the connection opened.
uint32_t playLogin(Rig& rig, const std::vector<std::pair<uint32_t, std::string>>& chunks) {
    const uint32_t t0 = rig.loop.tickCount();
    auto loggedIn = std::make_shared<bool>(false);
    rig.conn().onSend = [&rig, loggedIn](testsupport::FakeConnection& conn,
                                         std::string_view bytes) {
        *loggedIn = *loggedIn || bytes == "ver\r";
        if (*loggedIn) conn.deliverAt(rig.loop.tickCount() + 1, answerTo(bytes));
    };
    for (const auto& [at, chunk] : chunks) rig.conn().deliverAt(t0 + at, chunk);
    rig.loop.advance(2000);
    return t0;
}

// The check dialogue after "ver" went out at t, with the device answering at once.
Sends completedFrom(uint32_t t) {
    return {{t, "ver\r"},          {t + 1, "?ifPhysAddress\r"},
            {t + 2, "?sysName\r"}, {t + 3, "&save\r"},
            {t + 4, "log 20\r"},   {t + 5, "\r"},
            {t + 6, "\r"},         {t + 7, "q\r"}};
}

Sends concat(Sends a, const Sends& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(LoginOrder, ChunksAreTestedAtTheirOwnDeadlineLatestFirst) {
    struct Case {
        const char* what;
        std::vector<std::pair<uint32_t, std::string>> chunks;  // ms after the connection
        Sends sends;                                           // ms after the connection
        int result;
        std::string failure = "";
    };
    const std::string longFailure = "xx failure: 0123456789012345678901234567890";
    const Case cases[] = {
        {"the user id", {{0, "User ID:"}}, {{200, "admin\r"}}, session::kResultPending},
        {"the password", {{0, "Password:"}}, {{200, "plume\r"}}, session::kResultPending},
        {"ready, then the user id",
         {{0, "login ready.\r\nID:"}},
         {{200, "\r"}, {200, "admin\r"}},
         session::kResultPending},
        {"one chunk with every answer",
         {{0, "ready. ID: rd: QLX>"}},
         concat({{200, "\r"}, {200, "admin\r"}, {200, "plume\r"}}, completedFrom(200)),
         session::kResultOk},
        {"a prompt alone", {{0, "QLX> "}}, completedFrom(200), session::kResultOk},
        {"nothing the login knows", {{0, "nothing here"}}, {}, session::kResultPending},
        {"a wrong password", {{0, "Login Incorrect"}}, {}, session::kResultLoginError},
        {"busy", {{0, "failure: busy"}}, {}, session::kResultFailure, "failure: busy"},
        {"a software update", {{0, "Software:"}}, {}, session::kResultFailure, "Software:"},
        {"a failure text keeps 30 bytes",
         {{0, longFailure}},
         {},
         session::kResultFailure,
         longFailure.substr(3, 30)},
        {"in use", {{0, "device exists."}}, {}, session::kResultExists},
        {"a refusal and a prompt in one chunk: the closed connection drops the ver",
         {{0, "Incorrect\r\n>"}},
         {},
         session::kResultLoginError},
        {"two refusals in one chunk: the failure wins",
         {{0, "Incorrect failure: x"}},
         {},
         session::kResultFailure,
         "failure: x"},
        {"a refusal then a prompt 5 ms later: ver at the prompt's deadline, then the close",
         {{0, "Login Incorrect\r\n"}, {5, "QLX> "}},
         {{205, "ver\r"}},
         session::kResultLoginError},
        {"the same 50 ms later",
         {{0, "Login Incorrect\r\n"}, {50, "QLX> "}},
         {{250, "ver\r"}},
         session::kResultLoginError},
        {"busy then a prompt",
         {{0, "failure: busy\r\n"}, {50, "QLX> "}},
         {{250, "ver\r"}},
         session::kResultFailure,
         "failure: busy\r\n"},
        {"in use then a prompt",
         {{0, "session already exists.\r\n"}, {50, "QLX> "}},
         {{250, "ver\r"}},
         session::kResultExists},
        {"two refusals: the earlier chunk's result stays",
         {{0, "failure: busy\r\n"}, {50, "Login Incorrect\r\n"}},
         {},
         session::kResultFailure,
         "failure: busy\r\n"},
        {"a prompt then a refusal: the refusal is tested first and nothing goes out",
         {{0, "QLX> "}, {50, "Login Incorrect\r\n"}},
         {},
         session::kResultLoginError},
        {"a prompt split over two chunks is answered at the second one's deadline",
         {{0, "User "}, {60, "ID:"}},
         {{260, "admin\r"}},
         session::kResultPending},
        {"three unasked prompts: answered latest first, all at the last deadline",
         {{0, "login ready.\r\n"}, {50, "User ID:"}, {100, "Password:"}},
         {{300, "plume\r"}, {300, "admin\r"}, {300, "\r"}},
         session::kResultPending},
        {"two prompts: one ver",
         {{0, "\r\n> "}, {50, "> "}},
         completedFrom(250),
         session::kResultOk},
        {"a later prompt finishes the login: the earlier chunk answers nothing",
         {{0, "ready. ID:"}, {50, "QLX> "}},
         completedFrom(250),
         session::kResultOk},
        {"a chunk that comes as a pause ends is handled after that pause's tests",
         {{0, "User ID:"}, {200, "Password:"}},
         {{200, "admin\r"}, {400, "plume\r"}},
         session::kResultPending},
        {"a pause that is over before the next chunk: no nesting",
         {{0, "User ID:"}, {300, "Password:"}, {600, "QLX> "}},
         concat({{200, "admin\r"}, {500, "plume\r"}}, completedFrom(800)),
         session::kResultOk},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        rig.mode = SessionMode::SingleCheck;
        rig.start();
        const uint32_t t0 = playLogin(rig, c.chunks);
        Sends sends;
        for (const auto& s : rig.conn().sends()) sends.emplace_back(s.at - t0, s.bytes);
        EXPECT_EQ(sends, c.sends);
        EXPECT_EQ(rig.session->result(), c.result);
        EXPECT_EQ(rig.session->failureText(), c.failure);
        EXPECT_EQ(rig.ended, c.result == session::kResultPending ? 0 : 1);
        const bool refused = c.result != session::kResultPending && c.result != session::kResultOk;
        EXPECT_EQ(rig.conn().isOpen(), !refused);
        EXPECT_EQ(rig.session->timeoutActive(), c.result == session::kResultPending);
        // A login not through stays in its step, unless a prompt moved it on, "ver" sent or not.
        const bool prompt = std::ranges::any_of(
            c.chunks, [](auto& k) { return k.second.find('>') != std::string::npos; });
        if (c.result != session::kResultOk) {
            EXPECT_EQ(rig.step(), prompt ? SessionStep::ReadVersion : SessionStep::Login);
            EXPECT_EQ(rig.session->lastCommand(), prompt ? "ver" : "");
        }
        // A refusal counts once the last chunk's pause is over.
        if (refused) {
            EXPECT_EQ(rig.endedAt - t0, c.chunks.back().first + session::kLoginPauseMs);
        }
        // Every chunk is shown when it comes, before its tests run.
        size_t at = 0;
        for (const auto& [ms, chunk] : c.chunks) {
            at = rig.session->terminal().bytes().find(chunk + "\r\n", at);
            EXPECT_NE(at, std::string::npos) << chunk;
        }
        rig.loop.advance(20000);
        EXPECT_EQ(rig.ended, 1);
        if (c.result != session::kResultPending) {
            EXPECT_EQ(rig.session->result(), c.result);
        }
    }
}

// A device that sends a chunk every millisecond: at most a bounded number of chunks wait for
// their pause, whatever they hold, and the first refusal among them still ends the session.
TEST(LoginOrder, PendingChunksAreBoundedAndAFloodKeepsItsRefusal) {
    Rig rig;
    rig.start();
    const uint32_t t0 = rig.loop.tickCount();
    for (uint32_t i = 0; i < 1000; ++i)
        rig.conn().deliverAt(t0 + i, i == 700 ? "Login Incorrect" : "User ID:");
    size_t most = 0;
    for (uint32_t i = 0; i < 1000; ++i) {
        rig.loop.advance(1);
        most = std::max(most, rig.session->pendingLoginChunks());
    }
    EXPECT_EQ(most, session::kMaxPendingLoginChunks);
    EXPECT_EQ(rig.conn().sent(), "");
    rig.loop.advance(session::kLoginPauseMs);
    EXPECT_EQ(rig.session->result(), session::kResultLoginError);
    EXPECT_EQ(rig.ended, 1);
    EXPECT_FALSE(rig.conn().isOpen());
}

// The prompt pace goes on at once after the login but keeps what the login pause would catch:
// a send changes nothing before 200 ms after the last login chunk (a check is not held back), and
// a prompt before the reply it stands in front of is never read as a value.
TEST(LoginOrder, ThePromptPaceKeepsWhatThePauseWouldHaveCaught) {
    struct Case {
        SessionMode mode;
        std::vector<std::pair<uint32_t, std::string>> chunks;  // ms after the connection
        Sends head;                                            // the first sends
        uint32_t changeAt;  // when the first settings line or clock command went out
    };
    const SessionMode send = SessionMode::SingleSend, check = SessionMode::SingleCheck;
    const Sends reads = {
        {0, "ver\r"}, {1, "?ifPhysAddress\r"}, {2, "?sysName\r"}, {3, "&save\r"}, {4, "log 20\r"}};
    const Case cases[] = {
        {send, {{0, "User ID:"}, {50, "QLX> "}}, {{0, "admin\r"}, {50, "ver\r"}}, 250},
        {send, {{0, "QLX> "}, {200, "Login Incorrect\r\n"}}, {{0, "ver\r"}}, 200},  // too late
        {check, {{0, "QLX> "}}, reads, 5},  // the refusal markers in the dump and log: device text
        {check, {{0, "Password: QLX> "}, {30, "\r\nQLX> "}}, {{0, "plume\r"}, {30, "ver\r"}}, 35},
        {check, {{0, "QLX> "}, {0, "\r\nWel"}, {0, "come\r\nQLX"}, {0, "> "}}, reads, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chunks.back().second);
        Rig rig;
        rig.mode = c.mode;
        rig.pace = session::Pace::Prompt;
        rig.setTime = true;
        rig.start({".x=1"});
        const uint32_t t0 = playLogin(rig, c.chunks);
        Sends sends;
        uint32_t changeAt = UINT32_MAX;
        for (const auto& s : rig.conn().sends()) {
            sends.emplace_back(s.at - t0, s.bytes);
            if (changeAt == UINT32_MAX && (s.bytes == ".x=1\r" || s.bytes.starts_with("DATE ")))
                changeAt = s.at - t0;
        }
        ASSERT_GE(sends.size(), c.head.size());
        EXPECT_EQ(Sends(sends.begin(), sends.begin() + c.head.size()), c.head);
        EXPECT_EQ(changeAt, c.changeAt);
        EXPECT_EQ(rig.session->result(), session::kResultOk);
        EXPECT_EQ(rig.session->served().rec.modelVersion, "V1.23");
        EXPECT_EQ(rig.ended, 1);
    }
}

}  // namespace
}  // namespace sessiontest
