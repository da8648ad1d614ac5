// The fleet run's tests on virtual time: a list of five records on 127.0.0.1 to .5, each its
// own save name, the fake loop, clock and network, and a device's answers to a whole check.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

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
#include "scratch_dir.h"
#include "silent_dialogs.h"
#include "text/cp932.h"

namespace fleettest {

namespace fs = std::filesystem;

class FleetRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Each its own MAC address, so each its own save name for its files.
        std::vector<std::string> lines;
        for (int i = 1; i <= 5; ++i)
            lines.push_back(record(i, "00:ee:80:00:00:0" + std::to_string(i)));
        useList(lines);
    }

    static std::string record(int no, const std::string& mac, const std::string& saveName = "") {
        const std::string n = std::to_string(no);
        return "00" + n + ",F0000001,d" + n + ",127.0.0." + n + ",80,23," + mac + ",,,a,p,x.txt,," +
               (saveName.empty() ? "" : "," + saveName);
    }
    // The run's devices and the list file are these records.
    void useList(const std::vector<std::string>& lines) {
        auto list = std::make_shared<const devlist::LineStore>(lines);
        m_devices.clear();
        for (size_t i = 0; i < lines.size(); ++i)
            m_devices.push_back(
                {static_cast<int>(i) + 1, lines[i], fleet::IdentityOf(list, static_cast<int>(i))});
        testsupport::writeBytes(m_list, list->toBytes());
    }
    // A case of its own: a writer that knows nothing yet, time at 0, nothing finished; gives the
    // number of connections before it.
    size_t fresh() {
        m_writer = fleet::ListWriter(m_list);
        m_loop.setNow(0);
        m_finishedAt = -1;
        m_results.clear();
        return m_network.connections().size();
    }

    std::unique_ptr<fleet::FleetRun> makeRun(int parallel, fleet::FleetOptions options = {},
                                             bool toList = true) {
        options.parallel = parallel;
        if (options.workFolder.empty()) options.workFolder = m_dir;
        fleet::FleetRun::Hooks hooks;
        hooks.finished = [this] { m_finishedAt = static_cast<int>(m_loop.tickCount()); };
        hooks.deviceDone = [this](const fleet::DeviceResult& r) {
            m_results.push_back(r.row.message);
        };
        return std::make_unique<fleet::FleetRun>(m_loop, m_clock, m_network, m_dialogs,
                                                 toList ? &m_writer : nullptr, options, m_devices,
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
        m_loop.waitFor([&] { return run.writesPending() == 0; });
    }
    // The device answers chunk by chunk, each past the login pause; with run, virtual time waits
    // for the list writes.
    void play(testsupport::FakeConnection& conn, const std::vector<std::string>& chunks,
              fleet::FleetRun* run = nullptr) {
        for (const std::string& chunk : chunks) {
            conn.deliver(chunk);
            m_loop.runPending();
            run ? advance(*run, 250) : m_loop.advance(250);
        }
    }

    testsupport::ScratchDir m_scratch;
    fs::path m_dir = m_scratch.path();
    std::string m_list = (m_dir / "list.csv").string();
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
