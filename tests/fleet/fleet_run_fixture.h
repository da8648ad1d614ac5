// The fleet run's tests on virtual time: a list of five records on 127.0.0.1 to .5, each its
// own save name, the fake loop, clock and network, and a device's answers to a whole check.
#pragma once

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

namespace fleettest {

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
inline std::vector<std::string> checkAnswers() {
    std::vector<std::string> answers;
    for (const char* chunk :
         {"login ready.\r\nUser ID:", "Password:", "\r\nWelcome\r\nQLX> ", "ver V1.23\r\nQLX> ",
          "?ifPhysAddress=00:11:22:33:44:55\r\nQLX> ", "?sysName=\"ROOM-A\"\r\nQLX> ",
          "&save\r\n.a=7\r\nLOAD_END\r\nQLX> ", "log 20\r\n12/07 boot\r\n---------- end\r\nQLX> ",
          "QLX> ", "QLX> ", "bye.\r\n"})
        answers.push_back(chunk);
    return answers;
}

inline std::string messageOf(const std::string& list, size_t line) {
    return devlist::FieldGet(devlist::kMessage,
                             devlist::LineStore::fromFileBytes(testsupport::readBytes(list))[line]);
}

}  // namespace fleettest
