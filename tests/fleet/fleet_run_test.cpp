// The fleet run on virtual time: silent devices, so every session ends by its 5 s time-out, the
// result is recorded 500 ms later and the worker pauses 1 s before its next device.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "devlist/fields.h"
#include "fake_clock.h"
#include "fake_event_loop.h"
#include "fake_tcp_socket.h"
#include "file_bytes.h"
#include "fleet/fleet_run.h"
#include "silent_dialogs.h"
#include "text/cp932.h"

namespace {

namespace fs = std::filesystem;

class FleetRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::path(::testing::TempDir()) / ("fleet_run_" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        auto list = std::make_shared<devlist::LineStore>();
        for (int i = 1; i <= 5; ++i) {
            // Each its own MAC address, so each its own save name for its files.
            list->lines().push_back("00" + std::to_string(i) + ",F0000001,d" + std::to_string(i) +
                                    ",127.0.0." + std::to_string(i) + ",80,23,00:ee:80:00:00:0" +
                                    std::to_string(i) + ",,,a,p,x.txt,,");
        }
        for (int i = 1; i <= 5; ++i)
            m_devices.push_back(
                {i, (*list)[static_cast<size_t>(i - 1)], fleet::IdentityOf(list, i - 1)});
        const devlist::LineStore& lines = *list;
        m_list = (m_dir / "list.csv").string();
        testsupport::writeBytes(m_list, lines.toBytes());
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::unique_ptr<fleet::FleetRun> makeRun(int parallel, fleet::FleetOptions options = {},
                                             bool record = true) {
        options.parallel = parallel;
        if (options.workFolder.empty()) options.workFolder = m_dir;
        fleet::FleetRun::Hooks hooks;
        hooks.finished = [this] { m_finishedAt = static_cast<int>(m_loop.tickCount()); };
        hooks.deviceDone = [this](const fleet::DeviceResult& r) {
            m_results.push_back(r.row.message);
        };
        return std::make_unique<fleet::FleetRun>(m_loop, m_clock, m_network, m_dialogs,
                                                 record ? &m_writer : nullptr, options, m_devices,
                                                 hooks);
    }

    // The list writes run on their own thread in real time: virtual time moves a millisecond at
    // a time and waits for the writes given meanwhile, so each completion comes back at the
    // virtual moment of its result.
    void advance(fleet::FleetRun& run, uint32_t ms) {
        for (uint32_t i = 0; i < ms; ++i) {
            m_loop.advance(1);
            settle(run);
        }
    }
    void settle(fleet::FleetRun& run) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (run.writesPending() > 0 && std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            m_loop.runPending();
        }
    }

    fs::path m_dir;
    std::string m_list;
    std::vector<fleet::FleetDevice> m_devices;
    testsupport::FakeEventLoop m_loop;
    testsupport::FakeClock m_clock;
    testsupport::FakeNetwork m_network{m_loop};
    testsupport::SilentDialogs m_dialogs;
    fleet::ListWriter m_writer{""};
    int m_finishedAt = -1;
    std::vector<std::string> m_results;  // the messages, as the results came
};

// A device's answers to a whole check.
std::vector<std::string> checkAnswers() {
    std::vector<std::string> answers;
    for (const char* chunk :
         {"login ready.\r\nUser ID:", "Password:", "\r\nWelcome\r\nQLX> ", "ver V1.23\r\nQLX> ",
          "?ifPhysAddress=00:11:22:33:44:55\r\nQLX> ", "?sysName=\"ROOM-A\"\r\nQLX> ",
          "&save\r\n.a=7\r\nLOAD_END\r\nQLX> ", "log 20\r\n12/07 boot\r\n---------- end\r\nQLX> ",
          "QLX> ", "QLX> ", "bye.\r\n"})
        answers.push_back(chunk);
    return answers;
}

std::string messageOf(const std::string& list, size_t line) {
    return devlist::FieldGet(devlist::kMessage,
                             devlist::LineStore::fromFileBytes(testsupport::readBytes(list))[line]);
}

TEST_F(FleetRunTest, WorkersServeInRoundsWithTheirOwnPause) {
    struct Case {
        int parallel;
        int finishedAt;  // 5500 per device, 1000 between two devices of one worker
    } cases[] = {{1, 5 * 5500 + 4 * 1000}, {2, 3 * 5500 + 2 * 1000}, {5, 5500}, {128, 5500}};
    for (const auto& c : cases) {
        m_writer = fleet::ListWriter(m_list);
        m_finishedAt = -1;
        m_loop.setNow(0);
        auto run = makeRun(c.parallel);
        run->start();
        advance(*run, 40000);
        EXPECT_EQ(m_finishedAt, c.finishedAt) << c.parallel;
        EXPECT_EQ(run->rows().size(), 5u) << c.parallel;
        EXPECT_EQ(run->ngCount(), 5) << c.parallel;
    }
    auto list = devlist::LineStore::fromFileBytes(testsupport::readBytes(m_list));
    for (const auto& line : list.lines())
        EXPECT_EQ(devlist::FieldGet(devlist::kMessage, line), "#404 NG Time Out");
}

TEST_F(FleetRunTest, StopLetsRunningDevicesFinishAbortClosesThem) {
    struct Case {
        const char* what;
        int at;
        bool abort;
        int finishedAt;
        size_t rows;
    } cases[] = {
        {"stop during the dialogues", 1000, false, 5500, 2},
        {"stop during the pause", 6000, false, 6000, 2},
        {"abort during the dialogues", 1000, true, 1000, 0},
    };
    for (const auto& c : cases) {
        m_writer = fleet::ListWriter(m_list);
        m_finishedAt = -1;
        m_loop.setNow(0);
        const size_t before = m_network.connections().size();
        auto run = makeRun(2);
        run->start();
        advance(*run, static_cast<uint32_t>(c.at));
        c.abort ? run->abort() : run->stop();
        advance(*run, 20000);
        EXPECT_EQ(m_finishedAt, c.finishedAt) << c.what;
        EXPECT_EQ(run->rows().size(), c.rows) << c.what;
        EXPECT_EQ(m_network.connections().size() - before, 2u) << c.what;  // no third device
        if (c.abort) {
            for (size_t i = before; i < m_network.connections().size(); ++i)
                EXPECT_FALSE(m_network.connections()[i]->isOpen()) << c.what;
        }
    }
}

// Every device refuses the login at once, so its true result is "#104 NG ID/PASS Login Error".
// A list write that took its time on the loop (another program holding the lock for 15 s, a list
// of 50 MiB) would hold every dialogue meanwhile and turn them into time-outs.
TEST_F(FleetRunTest, ASlowListWriteNeverHoldsTheDialogues) {
    struct Case {
        const char* what;
        bool lockHeld;
        size_t padBytes;  // lines after the records that make the list big
    } cases[] = {{"lock held for 15 s", true, 0}, {"a list of 50 MiB", false, size_t{50} << 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string padding(c.padBytes, 'x');
        if (c.padBytes > 0)
            testsupport::writeBytes(m_list, testsupport::readBytes(m_list) + padding + "\r\n");
        m_results.clear();
        m_writer = fleet::ListWriter(m_list);
        m_loop.setNow(0);
        std::atomic<bool> release{false};
        std::thread holder;
        std::atomic<bool> held{false};
        if (c.lockHeld) {
            holder = std::thread([&] {
                fleet::ListLock lock(m_list);
                held = true;
                // Released by the test, or after a long while when a stalled loop never gets
                // there.
                const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
                while (!release && std::chrono::steady_clock::now() < limit)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            });
            while (!held) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        size_t answered = m_network.connections().size();
        auto run = makeRun(5);
        run->start();
        for (uint32_t t = 0; t < 15000; ++t) {
            for (; answered < m_network.connections().size(); ++answered)
                m_network.connections()[answered]->deliver("login Incorrect\r\n");
            m_loop.advance(1);
        }
        // Every result came while the lock was still held.
        EXPECT_EQ(m_results, std::vector<std::string>(5, "#104 NG ID/PASS Login Error"));
        release = true;
        if (holder.joinable()) holder.join();
        settle(*run);
        EXPECT_TRUE(run->finished());
        // The first result may have gone to the lock alone; the rest waited and went together.
        if (c.lockHeld) {
            EXPECT_LE(run->writeBatches(), 2);
        }
        for (size_t line = 0; line < 5; ++line)
            EXPECT_EQ(messageOf(m_list, line), "#104 NG ID/PASS Login Error") << line;
        if (c.padBytes > 0) {
            EXPECT_NE(testsupport::readBytes(m_list).find(padding), std::string::npos);
        }
    }
}

// What the window asks of its one worker beyond what its own tests reach: a row no longer shown
// is passed by, the pause follows the last device too, and a hook may drop the run from inside.
TEST_F(FleetRunTest, TheWindowsHooksSteerTheOneWorker) {
    enum class Act { None, SkipSecond, DropAtFirstResult };
    struct Case {
        const char* what;
        Act act;
        bool pauseAfterLast;
        int finishedAt;  // -1: never (the run was dropped)
        size_t connections;
    } cases[] = {
        {"a pause after the last", Act::None, true, 5 * 5500 + 5 * 1000, 5},
        {"the second passed by", Act::SkipSecond, false, 4 * 5500 + 3 * 1000, 4},
        {"dropped at its first result", Act::DropAtFirstResult, false, -1, 1},
    };
    for (const auto& c : cases) {
        m_finishedAt = -1;
        m_loop.setNow(0);
        const size_t before = m_network.connections().size();
        fleet::FleetOptions options;
        options.pauseAfterLast = c.pauseAfterLast;
        options.keepTexts = true;
        options.parallel = 1;
        options.workFolder = m_dir;
        std::unique_ptr<fleet::FleetRun> run;
        std::vector<std::string> logged;
        fleet::FleetRun::Hooks hooks;
        hooks.finished = [&] { m_finishedAt = static_cast<int>(m_loop.tickCount()); };
        hooks.serving = [&](const fleet::FleetDevice& d) -> std::optional<int> {
            if (c.act == Act::SkipSecond && d.number == 2) return std::nullopt;
            return 100 + d.number;
        };
        hooks.deviceDone = [&](const fleet::DeviceResult& r) {
            EXPECT_NE(r.outcome, nullptr) << c.what;
            if (c.act == Act::DropAtFirstResult) run.reset();
        };
        hooks.log = [&](const std::string& line) { logged.push_back(line); };
        run = std::make_unique<fleet::FleetRun>(m_loop, m_clock, m_network, m_dialogs, nullptr,
                                                options, m_devices, hooks);
        run->start();
        m_loop.advance(40000);
        EXPECT_EQ(m_finishedAt, c.finishedAt) << c.what;
        EXPECT_EQ(m_network.connections().size() - before, c.connections) << c.what;
        // The log names a device by the number the front end gave it.
        ASSERT_FALSE(logged.empty()) << c.what;
        EXPECT_EQ(logged.front().rfind("No.101 ", 0), 0u) << c.what;
        if (run) {
            EXPECT_NE(run->session(), nullptr) << c.what;
        }
    }
    // Nothing of it went into the list.
    for (size_t line = 0; line < 5; ++line) EXPECT_EQ(messageOf(m_list, line), "") << line;
}

// The pause after a device, from its result to the next device's connection: the end-command
// wait after a success, 1 s after a failure at the prescribed pace, and none after a device
// whose send file is missing, which was never connected. The timer runs 1 ms at the least, so
// that the next device never starts inside the result's handler.
TEST_F(FleetRunTest, ThePauseAfterADeviceFollowsItsResult) {
    using session::Pace;
    enum class First { Answers, Refuses, WithoutItsFile };
    struct Case {
        const char* endWait;
        First first;
        Pace pace;
        uint32_t pause;
        // The window's: the pause waits for the result to be in the list, whose lock another
        // program holds for 5 s; the pause counts from when it lets go.
        bool window;
    } cases[] = {
        {"3", First::Answers, Pace::Prescribed, 3000, false},
        {"abc", First::Answers, Pace::Prescribed, 2000, false},
        {"0", First::Answers, Pace::Prescribed, 1, false},
        {"-3", First::Answers, Pace::Prompt, 0, false},
        {"3", First::Refuses, Pace::Prescribed, 1000, false},
        {"3", First::Answers, Pace::Prompt, 3000, false},
        {"3", First::Refuses, Pace::Prompt, 0, false},
        {"3", First::WithoutItsFile, Pace::Prescribed, 1, false},
        {"0", First::Answers, Pace::Prescribed, 1, true},
        {"3", First::Refuses, Pace::Prescribed, 1000, true},
    };
    const std::string own = (m_dir / "own.txt").string(), gone = (m_dir / "gone.txt").string();
    testsupport::writeBytes(own, ".a=1\r\n");
    std::vector<fleet::FleetDevice> devices(m_devices.begin(), m_devices.begin() + 2);
    devices[0].record = devlist::FieldSet(devlist::kSendFile, gone, devices[0].record);
    devices[1].record = devlist::FieldSet(devlist::kSendFile, own, devices[1].record);
    std::vector<uint32_t> opened;
    m_network.onConnection = [&](testsupport::FakeConnection&) {
        opened.push_back(m_loop.tickCount());
    };
    const std::vector<std::string> answers[] = {checkAnswers(), {"login Incorrect\r\n"}, {}};
    const std::string messages[] = {
        text::sj("#000 OK 正常送信"), "#104 NG ID/PASS Login Error",
        text::sj("送信ファイル ") + gone + text::sj(" が見つかりません。")};
    for (const auto& c : cases) {
        const int first = static_cast<int>(c.first);
        SCOPED_TRACE(::testing::Message() << c.endWait << " " << first << " "
                                          << (c.pace == Pace::Prompt ? "prompt" : "prescribed"));
        const bool missing = c.first == First::WithoutItsFile;
        fleet::FleetOptions options;
        options.mode = missing ? session::SessionMode::BulkSend : session::SessionMode::BulkCheck;
        options.settings.endWait = c.endWait;
        options.settings.sendMethod = 1;
        options.settings.pace = c.pace;
        options.workFolder = m_dir;
        options.pauseAfterRecord = c.window;
        m_writer = fleet::ListWriter(m_list);
        std::optional<fleet::ListLock> held;
        if (c.window) held.emplace(m_list);
        uint32_t doneAt = 0;
        fleet::FleetRun::Hooks hooks;
        hooks.deviceDone = [&](const fleet::DeviceResult& r) {
            if (r.device.number == 1) doneAt = m_loop.tickCount();
        };
        opened.clear();
        const size_t before = m_network.connections().size();
        fleet::FleetRun run(m_loop, m_clock, m_network, m_dialogs, c.window ? &m_writer : nullptr,
                            options, devices, hooks);
        run.start();
        m_loop.runPending();
        for (const std::string& chunk : answers[first]) {
            m_network.connections()[before]->deliver(chunk);
            m_loop.runPending();
            m_loop.advance(250);  // past the login pause
        }
        if (held) {
            m_loop.advance(5000);
            EXPECT_EQ(opened.size(), 1u);
            held.reset();
            doneAt = m_loop.tickCount();
            settle(run);
        }
        m_loop.advance(20000);
        settle(run);
        ASSERT_TRUE(run.finished());
        ASSERT_EQ(opened.size(), missing ? 1u : 2u);
        EXPECT_EQ(opened.back() - doneAt, c.pause);
        EXPECT_EQ(run.okCount(), c.first == First::Answers ? 1 : 0);
        EXPECT_EQ(run.ngCount(), c.first == First::Answers ? 1 : 2);
        // A device never connected has its report row too, which says why.
        const fleet::ReportRow& row = run.rows().at(0);
        EXPECT_EQ(row.number, 1);
        EXPECT_EQ(row.name + " " + row.address + " " + std::to_string(row.port), "d1 127.0.0.1 23");
        EXPECT_EQ(row.message, messages[first]);
        EXPECT_EQ(row.files.empty(), c.first != First::Answers);
    }
}

// Records that name the same files (the same save name: a MAC address left at the default, or a
// "保存名称" of their own) are served one after the other; the others side by side.
TEST_F(FleetRunTest, RecordsSharingASaveNameNeverRunTogether) {
    auto device = [](int no, const std::string& mac, const std::string& saveName = "") {
        std::string line = "00" + std::to_string(no) + ",F0000001,d" + std::to_string(no) +
                           ",127.0.0." + std::to_string(no) + ",80,23," + mac + ",,,a,p,x.txt,,";
        if (!saveName.empty()) line += "," + saveName;
        return line;
    };
    const std::string kDefault = "00:ee:80:00:00:00";
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        std::string order;  // the devices in the order their sessions started
        int finishedAt;     // two workers; 5500 per device, 1000 between two of one worker
    };
    const Case cases[] = {
        {"each its own",
         {device(1, "00:ee:80:00:00:01"), device(2, "00:ee:80:00:00:02"),
          device(3, "00:ee:80:00:00:03"), device(4, "00:ee:80:00:00:04")},
         "1234",
         2 * 5500 + 1000},
        // A waiting worker takes the device as soon as its files are free.
        {"all at the default MAC",
         {device(1, kDefault), device(2, kDefault), device(3, kDefault), device(4, kDefault)},
         "1234",
         4 * 5500},
        {"two with one save name of their own",
         {device(1, "00:ee:80:00:00:01", "SITE"), device(2, "00:ee:80:00:00:02", "SITE"),
          device(3, "00:ee:80:00:00:03"), device(4, "00:ee:80:00:00:04")},
         "1324",
         2 * 5500 + 1000},
        {"a save name that is another's default",
         {device(1, "00:ee:80:00:00:01"), device(2, kDefault, "QLX00ee80000001"),
          device(3, "00:ee:80:00:00:03")},
         "132",
         2 * 5500 + 1000},
    };
    for (const auto& c : cases) {
        auto list = std::make_shared<devlist::LineStore>(c.lines);
        testsupport::writeBytes(m_list, list->toBytes());
        std::vector<fleet::FleetDevice> devices;
        for (size_t i = 0; i < list->size(); ++i)
            devices.push_back({static_cast<int>(i) + 1, (*list)[i],
                               fleet::IdentityOf(list, static_cast<int>(i))});
        m_writer = fleet::ListWriter(m_list);
        m_loop.setNow(0);
        m_finishedAt = -1;
        const size_t before = m_network.connections().size();
        fleet::FleetOptions options;
        options.parallel = 2;
        options.workFolder = m_dir;
        fleet::FleetRun::Hooks hooks;
        // The last result is taken when the last device is done; its list write follows.
        hooks.deviceDone = [this](const fleet::DeviceResult&) {
            m_finishedAt = static_cast<int>(m_loop.tickCount());
        };
        fleet::FleetRun run(m_loop, m_clock, m_network, m_dialogs, &m_writer, options, devices,
                            hooks);
        run.start();
        m_loop.advance(40000);
        settle(run);
        EXPECT_TRUE(run.finished()) << c.name;
        std::string order;
        for (size_t i = before; i < m_network.connections().size(); ++i)
            order += m_network.connections()[i]->host().back();
        EXPECT_EQ(order, c.order) << c.name;
        EXPECT_EQ(m_finishedAt, c.finishedAt) << c.name;
        EXPECT_EQ(run.rows().size(), c.lines.size()) << c.name;
    }
}

// A device that answers writes its files while another record with its save name waits; the
// other's row names no file of the first, and the first's row names its own.
TEST_F(FleetRunTest, EachRowNamesTheFilesOfItsOwnSession) {
    auto list = std::make_shared<devlist::LineStore>(std::vector<std::string>{
        "001,F0000001,d1,127.0.0.1,80,23,00:ee:80:00:00:00,,,a,p,x.txt,,",
        "002,F0000001,d2,127.0.0.2,80,23,00:ee:80:00:00:00,,,a,p,x.txt,,"});
    testsupport::writeBytes(m_list, list->toBytes());
    std::vector<fleet::FleetDevice> devices;
    for (int i = 0; i < 2; ++i) devices.push_back({i + 1, (*list)[i], fleet::IdentityOf(list, i)});
    m_writer = fleet::ListWriter(m_list);
    fleet::FleetOptions options;
    options.parallel = 2;
    options.workFolder = m_dir;
    fleet::FleetRun run(m_loop, m_clock, m_network, m_dialogs, &m_writer, options, devices, {});
    run.start();
    m_loop.runPending();
    testsupport::FakeConnection* answering = nullptr;
    for (const auto& conn : m_network.connections())
        if (conn->host() == "127.0.0.1") answering = conn.get();
    ASSERT_TRUE(answering);
    auto& first = *answering;
    for (const std::string& chunk : checkAnswers()) {
        first.deliver(chunk);
        m_loop.runPending();
        m_loop.advance(250);  // past the login pause
    }
    m_loop.advance(20000);
    ASSERT_EQ(run.rows().size(), 2u);
    const fleet::ReportRow& own = run.rows()[0];
    EXPECT_EQ(own.number, 1);
    EXPECT_EQ(own.files,
              (std::vector<std::string>{"QLX00ee80000000q2.txt", "QLX001122334455l20.txt",
                                        "QLX00ee80000000R1.txt"}));
    EXPECT_EQ(run.rows()[1].number, 2);
    EXPECT_TRUE(run.rows()[1].files.empty());
    EXPECT_EQ(run.okCount(), 1);
}

// The work folder turns read-only between two devices: the second ends at once, not by its
// time-out, and no third device is started.
TEST_F(FleetRunTest, AFailedSaveEndsItsDeviceAtOnceAndStartsNoOther) {
    const std::string original = testsupport::readBytes(m_list);
    const fs::path work = m_dir / "work";
    for (session::Pace pace : {session::Pace::Prescribed, session::Pace::Prompt}) {
        SCOPED_TRACE(static_cast<int>(pace));
        testsupport::writeBytes(m_list, original);
        fs::remove_all(work);
        fs::create_directories(work);
        m_writer = fleet::ListWriter(m_list);
        m_loop.setNow(0);
        const size_t before = m_network.connections().size();
        fleet::FleetOptions options;
        options.settings.pace = pace;
        options.workFolder = work;
        auto run = makeRun(1, options);
        run->start();
        for (size_t device = 0; device < 2; ++device) {
            for (int ms = 0; ms < 20000 && m_network.connections().size() <= before + device; ++ms)
                advance(*run, 1);
            ASSERT_EQ(m_network.connections().size(), before + device + 1);
            if (device == 1) ::chmod(work.c_str(), 0555);
            for (const std::string& chunk : checkAnswers()) {
                m_network.connections()[before + device]->deliver(chunk);
                m_loop.runPending();
                advance(*run, 250);  // past the login pause
            }
        }
        ASSERT_EQ(run->rows().size(), 2u);
        EXPECT_LT(run->rows()[1].durationMs, session::kTimeoutDialogueMs);
        advance(*run, 30000);
        ::chmod(work.c_str(), 0755);
        EXPECT_TRUE(run->finished());
        EXPECT_EQ(m_network.connections().size(), before + 2);
        EXPECT_EQ(messageOf(m_list, 0), text::sj("#000 OK 正常送信"));
        EXPECT_EQ(messageOf(m_list, 1), "#508 NG File Save Error");
        EXPECT_EQ(messageOf(m_list, 2), "");
        ASSERT_TRUE(run->saveFailure());
        EXPECT_EQ(run->saveFailure()->file, work / "QLX00ee80000002q2.txt");
        EXPECT_EQ(run->saveFailure()->error, EACCES);
    }
}

// The list changes under the run: each row says whether its result reached the list.
TEST_F(FleetRunTest, EachRowSaysWhetherItsResultReachedTheList) {
    const std::string original = testsupport::readBytes(m_list);
    const std::string utf8 = "\xEF\xBB\xBF" + original;  // as a spreadsheet saves it
    const std::string withoutSecond =
        original.substr(0, original.find("002,")) + original.substr(original.find("003,"));
    struct Case {
        const char* what;
        std::string list, recorded;  // the list once the first device answered; y/n per device
        int recordedOk;
    } cases[] = {
        {"untouched", "", "yyyyy", 1},
        {"replaced by a UTF-8 copy", utf8, "nnnnn", 0},
        {"the second record deleted", withoutSecond, "ynyyy", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::writeBytes(m_list, original);
        m_writer = fleet::ListWriter(m_list);
        m_loop.setNow(0);
        const size_t before = m_network.connections().size();
        auto run = makeRun(5);
        run->start();
        m_loop.runPending();
        for (const std::string& chunk : checkAnswers()) {
            m_network.connections()[before]->deliver(chunk);
            m_loop.runPending();
            m_loop.advance(250);  // past the login pause
        }
        if (!c.list.empty()) testsupport::writeBytes(m_list, c.list);
        advance(*run, 40000);
        ASSERT_TRUE(run->finished());
        std::string recorded(5, '?');
        for (const fleet::ReportRow& row : run->rows()) {
            ASSERT_TRUE(row.recorded);
            recorded[static_cast<size_t>(row.number - 1)] = *row.recorded ? 'y' : 'n';
        }
        EXPECT_EQ(recorded, c.recorded);
        EXPECT_EQ(run->unrecordedCount(),
                  static_cast<size_t>(std::count(recorded.begin(), recorded.end(), 'n')));
        EXPECT_EQ(run->recordedOkCount(), c.recordedOk);
    }
}

// A record without a save name or MAC address writes under the one its device reports, else
// under a name no other record has.
TEST_F(FleetRunTest, EachRecordWritesUnderItsOwnTheListsTheDevicesOrAUniqueName) {
    auto device = [](int no, const std::string& mac, const std::string& saveName = "") {
        return "00" + std::to_string(no) + ",F0000001,d,127.0.0." + std::to_string(no) + ",80,23," +
               mac + ",,,a,p,x.txt,," + (saveName.empty() ? "" : "," + saveName);
    };
    auto files = [](const std::string& name, std::string log = "") {
        if (log.empty()) log = name;
        return std::vector<std::string>{name + "q2.txt", log + "l20.txt", name + "R1.txt"};
    };
    const std::string kMac1 = "00:11:22:33:44:01", kMac2 = "00:11:22:33:44:02";
    struct Case {
        std::vector<std::string> lines;
        std::vector<std::string> reported;  // per record: its device's MAC address, or "refuse"
        std::map<int, std::vector<std::string>> files;  // per record number
    } cases[] = {
        {{device(1, ""), device(2, ""), device(3, "")},
         {kMac1, kMac2, "refuse"},
         {{1, files("QLX001122334401")}, {2, files("QLX001122334402")}, {3, {}}}},
        // A save name of its own, then the list's MAC address, go before the reported one.
        {{device(1, "", "SITE"), device(2, "00:ee:80:00:00:02")},
         {kMac1, kMac2},
         {{1, files("SITE", "QLX001122334401")}, {2, files("QLX00ee80000002", "QLX001122334402")}}},
        // Devices that report none; record 3's own name is "QLX-No001" but for letter case.
        {{device(1, ""), device(2, ""), device(3, "", "qlx-no001")},
         {"", "", kMac1},
         {{1, files("QLX-No001_")},
          {2, files("QLX-No002")},
          {3, files("qlx-no001", "QLX001122334401")}}},
        // The reported MAC address names files another device is writing at that moment.
        {{device(1, kMac1), device(2, "")},
         {kMac1, kMac1},
         {{1, files("QLX001122334401")}, {2, files("QLX-No002")}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines[0]);
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        auto list = std::make_shared<const devlist::LineStore>(c.lines);
        m_devices.clear();
        for (int i = 0; i < static_cast<int>(c.lines.size()); ++i)
            m_devices.push_back(
                {i + 1, c.lines[static_cast<size_t>(i)], fleet::IdentityOf(list, i)});
        fleet::FleetOptions options;
        auto run = makeRun(static_cast<int>(c.lines.size()), options, false);
        const size_t before = m_network.connections().size();
        run->start();
        m_loop.runPending();
        ASSERT_EQ(m_network.connections().size() - before, c.lines.size());  // side by side
        for (size_t k = 0; k < checkAnswers().size(); ++k) {
            for (size_t i = 0; i < c.lines.size(); ++i) {
                std::vector<std::string> chunks = checkAnswers();
                chunks[4] = "?ifPhysAddress=" + c.reported[i] + "\r\nQLX> ";
                if (c.reported[i] == "refuse") chunks = {"login Incorrect\r\n"};
                if (k < chunks.size()) m_network.connections()[before + i]->deliver(chunks[k]);
                m_loop.runPending();
            }
            m_loop.advance(250);  // past the login pause
        }
        m_loop.advance(20000);
        ASSERT_TRUE(run->finished());
        std::map<int, std::vector<std::string>> written;
        for (const fleet::ReportRow& row : run->rows()) written[row.number] = row.files;
        EXPECT_EQ(written, c.files);
    }
}

}  // namespace
