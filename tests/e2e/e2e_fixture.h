// The whole program without its window, against qlx-devsim on loopback: the real Qt loop and
// network adapters, answers queued in ScriptedDialogs and a fixed clock for the file headers.
// Each test gets a temporary folder; the program file is <tmp>/bin/qlx-setting, so the work
// folder is <tmp>/bin/data, and the list file is <tmp>/list.csv.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "devlist/fields.h"
#include "devlist/line_store.h"
#include "devsim_process.h"
#include "fake_clock.h"
#include "file_bytes.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/qt/qt_host_address.h"
#include "platform/qt/qt_tcp_socket.h"
#include "platform/qt/qt_udp_socket.h"
#include "scripted_dialogs.h"
#include "shell/app.h"
#include "shell/session_controller.h"
#include "text/cp932.h"

namespace e2e {

namespace fs = std::filesystem;
using text::sj;

using testsupport::readBytes;
using testsupport::writeBytes;

// A list record as the program writes it (14 fields); name is code page 932.
inline std::string record(int no, const std::string& name, const std::string& ip, int port,
                          const std::string& mac, const std::string& flags = "F0000000") {
    char num[8];
    std::snprintf(num, sizeof num, "%03d", no);
    return std::string(num) + "," + flags + "," + name + "," + ip + ",80," + std::to_string(port) +
           "," + mac + ",,,admin,plume,defalt.txt,,";
}

class E2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qlx-e2e-XXXXXX";
        m_dir = mkdtemp(tmpl);
        fs::create_directories(m_dir / "bin");
        m_oldCwd = fs::current_path();
        fs::current_path(m_dir);
    }
    void TearDown() override {
        m_app.reset();
        m_sim.stop();
        fs::current_path(m_oldCwd);
        std::error_code ec;
        if (!HasFailure()) fs::remove_all(m_dir, ec);
    }

    // The settings file: the list file, no pause after a success, then `extra` lines.
    void writeSettings(const std::string& extra = {}) {
        writeBytes(m_dir / "bin" / "qlx-setting.Ini",
                   "[setting]\r\nlistcsv=" + listPath().string() + "\r\nwait1=0\r\n" + extra);
    }
    void writeList(const std::vector<std::string>& records) {
        std::string bytes;
        for (const auto& r : records) bytes += r + "\r\n";
        writeBytes(listPath(), bytes);
    }
    fs::path listPath() const { return m_dir / "list.csv"; }
    fs::path dataDir() const { return m_dir / "bin" / "data"; }
    std::string data(const std::string& name) const { return readBytes(dataDir() / name); }

    void startSim(const std::vector<std::string>& devices, bool search = false) {
        std::vector<std::string> args;
        for (const auto& d : devices) args.insert(args.end(), {"--device", d});
        if (!search) args.push_back("--no-search");
        ASSERT_TRUE(m_sim.start(args, static_cast<int>(devices.size()))) << m_sim.errors();
    }

    shell::App& startApp(const std::string& ownAddress = {}) {
        m_app = std::make_unique<shell::App>(m_loop, m_dialogs,
                                             (m_dir / "bin" / "qlx-setting").string(),
                                             shell::Devices{&m_clock, &m_net, &m_udp, &m_host});
        if (!ownAddress.empty()) m_app->start().setOwnAddress(ownAddress);
        m_app->start().startUp();
        return *m_app;
    }
    shell::SessionController& sessions() { return *m_app->sessions(); }
    shell::WindowState& st() { return m_app->state(); }

    // Runs the Qt loop until `done` or the time-out; false on the time-out.
    bool runUntil(const std::function<bool()>& done, uint32_t timeoutMs) {
        uint32_t end = m_loop.tickCount() + timeoutMs;
        while (!done()) {
            if (m_loop.tickCount() >= end) return false;
            m_loop.processEvents(20);
        }
        return true;
    }
    // Until the dialogs show `count` information boxes.
    bool awaitInformation(size_t count, uint32_t timeoutMs) {
        return runUntil([&] { return informations().size() >= count; }, timeoutMs);
    }
    std::vector<std::string> informations() const {
        std::vector<std::string> out;
        for (const auto& s : m_dialogs.shown())
            if (s.kind == testsupport::ScriptedDialogs::Kind::Information) out.push_back(s.text);
        return out;
    }
    // Field `field` of line `line` of the list file as it is on disk.
    std::string listField(size_t line, int field) const {
        const auto list = devlist::LineStore::fromFileBytes(readBytes(listPath()));
        return line < list.size() ? devlist::FieldGet(field, list[line]) : "";
    }
    // The communication log without its time stamps ("yyyy/mm/dd hh:mm:ss ").
    std::vector<std::string> commLog() const {
        std::vector<std::string> out;
        for (const auto& l : m_app->state().commLogView.lines()) out.push_back(l.substr(20));
        return out;
    }
    fs::path m_dir;
    fs::path m_oldCwd;
    platform::qt::QtEventLoop m_loop;
    platform::qt::QtNetwork m_net;
    platform::qt::QtUdpFactory m_udp;
    platform::qt::QtHostAddress m_host;
    testsupport::FakeClock m_clock;
    testsupport::ScriptedDialogs m_dialogs;
    DevSim m_sim;
    std::unique_ptr<shell::App> m_app;
};

}  // namespace e2e
