// The two paces of a fleet run side by side: every device behaviour the simulator has, and a
// few scripted login orders, served once at the prescribed pace and once at the prompt pace on
// virtual time. The commands (bytes and order), the device files, the report rows and the list
// must agree; the pace may change only when things happen. The named exceptions are the devices
// whose login chunks the prescribed pace takes together in its pause: a prompt after a refusal, a
// refusal after a prompt, and a prompt the device repeats or sends before its answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "devlist/line_store.h"
#include "fake_clock.h"
#include "file_bytes.h"
#include "fleet/fleet_run.h"
#include "fleet/record_identity.h"
#include "options.h"
#include "played_device.h"
#include "scratch_dir.h"
#include "session/device_session.h"
#include "silent_dialogs.h"

namespace {

namespace fs = std::filesystem;
using session::Pace;
using session::SessionMode;

struct ServedAtPace {
    std::string sent;
    std::map<std::string, std::string> files;
    std::vector<std::string> rows;  // the report rows without their times
    std::string list;
    uint32_t finishedAt = 0;  // virtual ms from the start of the run
};

class PaceTest : public ::testing::Test {
protected:
    ServedAtPace serve(const std::string& deviceText, const testsupport::LoginScript& script,
                       SessionMode mode, Pace pace) {
        const fs::path dir = m_root / std::to_string(++m_runs);
        fs::create_directories(dir / "work");
        const std::string record = "001,F0000001,dev,127.0.0.1,80,23,,,,admin,plume,,,";
        const std::string list = (dir / "list.csv").string();
        testsupport::writeBytes(list, record + "\r\n");
        const std::string sendFile = (dir / "send.txt").string();
        testsupport::writeBytes(sendFile, ".x=1\r\n.sysName=\"NEW\"\r\n");

        auto parsed = devsim::parseDevice(deviceText, 23);
        EXPECT_TRUE(parsed.value) << parsed.error;
        if (!parsed.value) return {};
        devsim::DeviceConfig config = *parsed.value;
        if (!script.empty()) config.login = devsim::Login::None;

        testsupport::FakeEventLoop loop;
        testsupport::FakeClock clock;
        testsupport::FakeNetwork network{loop};
        testsupport::SilentDialogs dialogs;
        devsim::DeviceState device(config);
        network.onConnection = [&](testsupport::FakeConnection& c) {
            c.onOpen = [&](testsupport::FakeConnection& conn) {
                testsupport::PlayDevice(loop, conn, device, script);
            };
        };
        fleet::ListWriter writer(list);
        fleet::FleetOptions options;
        options.mode = mode;
        options.settings.commonSendFile = sendFile;
        options.settings.pace = pace;
        options.workFolder = dir / "work";
        auto lines = std::make_shared<devlist::LineStore>(std::vector<std::string>{record});
        std::vector<fleet::FleetDevice> devices{{1, record, fleet::IdentityOf(lines, 0)}};
        fleet::FleetRun::Hooks hooks;
        ServedAtPace o;
        const uint32_t t0 = loop.tickCount();
        hooks.finished = [&] { o.finishedAt = loop.tickCount() - t0; };
        fleet::FleetRun run(loop, clock, network, dialogs, &writer, options, devices, hooks);
        run.start();
        // The list write runs on its own thread in real time: virtual time moves a millisecond
        // at a time and waits for the write, so its completion comes at its virtual moment.
        for (int ms = 0; ms < 60000 && !run.finished(); ++ms) {
            loop.advance(1);
            loop.waitFor([&] { return run.writesPending() == 0; });
        }
        EXPECT_TRUE(run.finished());

        o.sent = network.last().sent();
        for (const auto& e : fs::directory_iterator(dir / "work"))
            o.files[e.path().filename().string()] = testsupport::readBytes(e.path().string());
        for (const auto& r : run.rows()) {
            std::string row = std::to_string(r.number) + "|" + r.name + "|" + r.address + "|" +
                              std::to_string(r.port) + "|" + r.message + "|";
            for (const auto& f : r.files) row += f + ";";
            if (r.changed)
                for (const auto& c : *r.changed) row += "changed " + c + ";";
            o.rows.push_back(row);
        }
        o.list = testsupport::readBytes(list);
        return o;
    }

    testsupport::ScratchDir m_root;
    int m_runs = 0;
};

TEST_F(PaceTest, BothPacesSendTheSameAndRecordTheSame) {
    // Where the prescribed pace answers a later login chunk during an earlier chunk's pause.
    enum class InPause {
        No,
        // "ver" goes out before the refusal closes; the prompt pace, having tested the refusal
        // at once, sends nothing more. Everything recorded stays the same.
        AfterRefusal,
        // A refusal within 200 ms of a prompt: the prompt pace reads on but changes nothing and
        // records the refusal; a check the device answers at once is over before it and stands.
        BeforeRefusal,
        QuickBeforeRefusal,
        // A prompt sent unasked or twice: the prompt pace answers the login prompts before it; all
        // but its transcript is the prescribed pace's.
        RepeatedPrompt,
    };
    struct Case {
        std::string device;  // the simulator's device text
        testsupport::LoginScript script = {};
        InPause inPause = InPause::No;
    };
    using enum InPause;
    std::vector<Case> cases = {
        {"127.0.0.1"},
        {"127.0.0.1,login=ready"},
        {"127.0.0.1,login=none"},
        {"127.0.0.1,fault=wrong-password"},
        {"127.0.0.1,fault=busy"},
        {"127.0.0.1,fault=in-use"},
        {"127.0.0.1,fault=silent"},
        {"127.0.0.1,fault=split-marker"},
        {"127.0.0.1,fault=two-prompts", {}, InPause::RepeatedPrompt},
        {"127.0.0.1,fault=two-prompts,gap=0", {}, RepeatedPrompt},
        {"127.0.0.1,fault=two-prompts,gap=150", {}, RepeatedPrompt},
        {"127.0.0.1,slow=300"},
        {"127.0.0.1,var.sysDescr=Firmware: 1.0 (no failure: here)"},  // device text, no refusal
        {"127.0.0.1,name=ROOM\\x2cA-1234567890123456789012345678901234"},
        {"127.0.0.1", {{0, "Login Incorrect\r\n"}, {5, "QLX> "}}, InPause::AfterRefusal},
        {"127.0.0.1", {{0, "\r\nfailure: busy\r\n"}, {50, "QLX> "}}, InPause::AfterRefusal},
        {"127.0.0.1", {{0, "session already exists.\r\n"}, {50, "QLX> "}}, InPause::AfterRefusal},
        {"127.0.0.1", {{0, "failure: busy\r\n"}, {50, "Login Incorrect\r\n"}}},
        {"127.0.0.1", {{0, "User "}, {60, "ID:"}}},
        {"127.0.0.1", {{0, "QLX> "}, {1, "Login Incorrect\r\n"}}, QuickBeforeRefusal},
        {"127.0.0.1", {{0, "QLX> "}, {199, "session already exists.\r\n"}}, QuickBeforeRefusal},
        {"127.0.0.1,slow=5", {{0, "QLX> "}, {1, "Login Incorrect\r\n"}}, BeforeRefusal},
        {"127.0.0.1,slow=40", {{0, "QLX> "}, {150, "\r\nfailure: busy\r\n"}}, BeforeRefusal},
        {"127.0.0.1,slow=50", {{0, "\r\nPassword:"}, {20, "\r\n> "}}, RepeatedPrompt},
        {"127.0.0.1,slow=50",
         {{0, "User ID:"}, {10, "\r\nPassword:"}, {20, "\r\nQLX> "}},
         RepeatedPrompt},
    };
    for (const char* step : {"connect", "user", "password", "setting", "cr", "ver",
                             "?ifPhysAddress", "?sysName", "&save", "log", "date", "write", "q"})
        cases.push_back({std::string("127.0.0.1,close-at=") + step});
    // Every answer in pieces of 1 to 12 bytes: each marker split at each of its bytes.
    for (int size = 1; size <= 12; ++size)
        for (int gap : {0, 20})
            cases.push_back(
                {"127.0.0.1,chunk=" + std::to_string(size) + ",gap=" + std::to_string(gap)});

    for (const auto& c : cases) {
        for (SessionMode mode : {SessionMode::BulkCheck, SessionMode::BulkSend}) {
            std::string what = c.device;
            for (const auto& [at, chunk] : c.script)
                what += " | " + std::to_string(at) + " " + chunk;
            const bool send = mode == SessionMode::BulkSend;
            SCOPED_TRACE(what + (send ? " (send)" : " (check)"));
            const ServedAtPace prescribed = serve(c.device, c.script, mode, Pace::Prescribed);
            const ServedAtPace prompt = serve(c.device, c.script, mode, Pace::Prompt);
            EXPECT_LE(prompt.finishedAt, prescribed.finishedAt);
            if (c.inPause == BeforeRefusal || c.inPause == QuickBeforeRefusal) {
                const bool stands = c.inPause == QuickBeforeRefusal && !send;
                auto code = [](const ServedAtPace& s) {
                    return s.rows.size() == 1 ? s.rows[0].substr(s.rows[0].find('#'), 4) : "";
                };
                EXPECT_EQ(code(prompt), stands ? "#000" : code(prescribed));
                if (!stands) {
                    for (const char* change : {".x=1", "DATE", "WRITE"})
                        EXPECT_EQ(prompt.sent.find(change), std::string::npos) << change;
                    EXPECT_EQ(prompt.list, prescribed.list);
                }
                continue;
            }
            if (c.inPause == InPause::AfterRefusal) {
                EXPECT_EQ(prescribed.sent, "ver\r");
                EXPECT_EQ(prompt.sent, "");
            } else if (c.inPause == RepeatedPrompt) {
                EXPECT_TRUE(prompt.sent.ends_with(prescribed.sent)) << prompt.sent;
            } else {
                EXPECT_EQ(prompt.sent, prescribed.sent);
            }
            auto files = [&](std::map<std::string, std::string> f) {
                if (c.inPause == RepeatedPrompt)  // the transcript, named by the device's MAC
                    std::erase_if(f,
                                  [](const auto& file) { return file.first.ends_with("R1.txt"); });
                return f;
            };
            EXPECT_EQ(files(prompt.files), files(prescribed.files));
            EXPECT_EQ(prompt.rows, prescribed.rows);
            EXPECT_EQ(prompt.list, prescribed.list);
            // A prompt the device repeats is answered once: the next answer is still read as what
            // its command asked for.
            if (c.inPause == RepeatedPrompt && c.script.empty()) {
                EXPECT_NE(prescribed.rows.at(0).find("|#000 "), std::string::npos);
                EXPECT_NE(prescribed.list.find(",00:EE:80:00:00:01,"), std::string::npos);
            }
            if (c.device == "127.0.0.1" && c.script.empty()) {
                // A device that answers at once is served at once: no pause of any kind (the
                // list write's completion is seen at the next virtual millisecond), but for the
                // 200 ms a send waits after the login.
                EXPECT_LE(prompt.finishedAt, send ? session::kLoginPauseMs + 1 : 1u);
                EXPECT_GE(prescribed.finishedAt, 4 * session::kLoginPauseMs);
            }
        }
    }
}

}  // namespace
