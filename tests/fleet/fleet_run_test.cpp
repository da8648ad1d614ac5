// The fleet run on virtual time: silent devices, so every session ends by its 5 s time-out, the
// result is recorded 500 ms later and the worker pauses 1 s before its next device.
#include "fleet_run_fixture.h"

namespace fleettest {
namespace {

TEST_F(FleetRunTest, WorkersServeInRoundsWithTheirOwnPause) {
    struct Case {
        int parallel;
        int finishedAt;  // 5500 per device, 1000 between two devices of one worker
    } cases[] = {{1, 5 * 5500 + 4 * 1000}, {2, 3 * 5500 + 2 * 1000}, {5, 5500}, {128, 5500}};
    for (const auto& c : cases) {
        fresh();
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
        const size_t before = fresh();
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
        fresh();
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
        const size_t before = fresh();
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
// that the next device never starts inside the result's handler. The window gives its boxes
// through the settings hook, read as they are then; the pace stays the run's.
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
    const size_t n = std::size(cases);
    for (size_t k = 0; k < 2 * n; ++k) {
        const Case& c = cases[k % n];
        const bool boxes = k >= n;
        const int first = static_cast<int>(c.first);
        SCOPED_TRACE(::testing::Message() << c.endWait << " " << first << " "
                                          << (c.pace == Pace::Prompt ? "prompt" : "prescribed")
                                          << (boxes ? " boxes" : ""));
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
        fleet::RunSettings shown = options.settings;
        if (boxes) {
            options.settings = {};  // the send method and the wait come from the boxes alone
            options.settings.pace = c.pace;
            shown.pace = c.pace == Pace::Prompt ? Pace::Prescribed : Pace::Prompt;
            hooks.settings = [&shown]() -> const fleet::RunSettings& { return shown; };
        }
        opened.clear();
        const size_t before = m_network.connections().size();
        fleet::FleetRun run(m_loop, m_clock, m_network, m_dialogs, c.window ? &m_writer : nullptr,
                            options, devices, hooks);
        run.start();
        m_loop.runPending();
        for (const std::string& chunk : answers[first]) {
            m_network.connections()[before]->deliver(chunk);
            m_loop.runPending();
            // The login chunk's tests wait for its pause at the prescribed pace only.
            if (&chunk == &answers[first].front()) {
                EXPECT_EQ(run.session()->pendingLoginChunks() > 0, c.pace == Pace::Prescribed);
            }
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

}  // namespace
}  // namespace fleettest
