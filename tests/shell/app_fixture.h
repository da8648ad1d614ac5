// A started App in a temporary folder: the program file lies in <tmp>/bin, the current
// directory is <tmp>, so "list.csv" is <tmp>/list.csv and the settings file is
// <tmp>/bin/qlx-setting.Ini.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fake_event_loop.h"
#include "file_bytes.h"
#include "platform/files.h"
#include "scratch_dir.h"
#include "scripted_dialogs.h"
#include "shell/app.h"
#include "text/cp932.h"

namespace shelltest {

namespace fs = std::filesystem;
using text::sj;

using testsupport::readBytes;
using testsupport::writeBytes;

// A record line with the given number, flags and name; other fields as a real list has them.
inline std::string rec(int no, const std::string& flags, const std::string& name,
                       const std::string& ip = "127.0.0.1") {
    char num[8];
    std::snprintf(num, sizeof num, "%03d", no);
    return std::string(num) + "," + flags + "," + name + "," + ip +
           ",80,23,00:ee:80:00:00:01,V1.00,dev,admin,plume,defalt.txt,,";
}

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_dir / "bin");
        m_oldCwd = fs::current_path();
        fs::current_path(m_dir);
    }
    void TearDown() override { fs::current_path(m_oldCwd); }

    void writeList(const std::vector<std::string>& lines) {
        std::string bytes;
        for (const auto& l : lines) bytes += l + "\r\n";
        writeBytes(m_dir / "list.csv", bytes);
    }
    fs::path iniPath() const { return m_dir / "bin" / "qlx-setting.Ini"; }
    std::string listBytes() const { return readBytes(m_dir / "list.csv"); }

    shell::App& start() {
        m_app = std::make_unique<shell::App>(m_loop, m_dialogs,
                                             (m_dir / "bin" / "qlx-setting").string(), m_devices);
        m_app->start().startUp();
        return *m_app;
    }
    shell::WindowState& st() { return m_app->state(); }
    // "設定" and back: the list file is rewritten from what the window holds.
    void settingsAndBack() {
        m_app->openSettings();
        m_app->leaveSettings();
    }
    // "適用" answered Yes.
    void applyYes() {
        m_dialogs.answer(true);
        m_app->listEditor().applyListEdit();
    }

    testsupport::ScratchDir m_scratch;
    fs::path m_dir = m_scratch.path();
    fs::path m_oldCwd;
    testsupport::FakeEventLoop m_loop;
    testsupport::ScriptedDialogs m_dialogs;
    shell::Devices m_devices;  // none unless a test sets them before start()
    std::unique_ptr<shell::App> m_app;
};

}  // namespace shelltest
