// The fleet run on virtual time: silent devices, so every session ends by its 5 s time-out, the
// result is recorded 500 ms later and the worker pauses 1 s before its next device.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "devlist/fields.h"
#include "fake_clock.h"
#include "fake_event_loop.h"
#include "fake_tcp_socket.h"
#include "file_bytes.h"
#include "fleet/fleet_run.h"
#include "silent_dialogs.h"

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

    std::unique_ptr<fleet::FleetRun> makeRun(int parallel) {
        fleet::FleetOptions options;
        options.parallel = parallel;
        options.workFolder = m_dir;
        fleet::FleetRun::Hooks hooks;
        hooks.finished = [this] { m_finishedAt = static_cast<int>(m_loop.tickCount()); };
        return std::make_unique<fleet::FleetRun>(m_loop, m_clock, m_network, m_dialogs, m_writer,
                                                 options, m_devices, hooks);
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
};

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
        m_loop.advance(40000);
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
        m_loop.advance(static_cast<uint32_t>(c.at));
        c.abort ? run->abort() : run->stop();
        m_loop.advance(20000);
        EXPECT_EQ(m_finishedAt, c.finishedAt) << c.what;
        EXPECT_EQ(run->rows().size(), c.rows) << c.what;
        EXPECT_EQ(m_network.connections().size() - before, 2u) << c.what;  // no third device
        if (c.abort) {
            for (size_t i = before; i < m_network.connections().size(); ++i)
                EXPECT_FALSE(m_network.connections()[i]->isOpen()) << c.what;
        }
    }
}

}  // namespace
