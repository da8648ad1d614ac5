// qlx-setting-cli as a process, for the paths that need the real program (what a unit reaches is
// tested in-process, in tests/runner): each test gets a temporary folder with the settings file
// s.Ini (no pause after a success), runs the program there against qlx-devsim on loopback, and
// reads its exit code, standard output and standard error.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "devlist/fields.h"
#include "devlist/line_store.h"
#include "devsim_process.h"
#include "file_bytes.h"
#include "scratch_dir.h"

namespace e2e {

struct RunnerResult {
    int code = -1;
    std::string errors;  // standard error, UTF-8
    std::string output;  // standard output, UTF-8
};

class RunnerProcessTest : public ::testing::Test {
protected:
    void SetUp() override { testsupport::writeBytes(m_dir / "s.Ini", "[setting]\r\nwait1=0\r\n"); }

    void startSim(const std::vector<std::string>& args, int devices) {
        ASSERT_TRUE(m_sim.start(args, devices)) << m_sim.errors();
    }
    void writeList(const std::vector<std::string>& lines) {
        testsupport::writeBytes(m_dir / "list.csv", devlist::LineStore(lines).toBytes());
    }
    devlist::LineStore list() const {
        return devlist::LineStore::fromFileBytes(testsupport::readBytes(m_dir / "list.csv"));
    }
    std::string message(size_t line) const {
        return devlist::FieldGet(devlist::kMessage, list()[line]);
    }

    // Starts the program in the test folder with args and, when m_files, "--list list.csv --ini
    // s.Ini" and "--work work" unless args name another; env: variables set for it.
    void start(QProcess& p, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env = {}) const {
        QStringList list;
        for (const auto& a : args) list << QString::fromStdString(a);
        if (m_files)
            list << "--list"
                 << "list.csv"
                 << "--ini"
                 << "s.Ini";
        if (m_files && std::find(args.begin(), args.end(), "--work") == args.end())
            list << "--work"
                 << "work";
        p.setWorkingDirectory(QString::fromStdString(m_dir.string()));
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, value] : env)
            e.insert(QString::fromStdString(name), QString::fromStdString(value));
        p.setProcessEnvironment(e);
        p.start(QStringLiteral(QLX_RUNNER_PATH), list);
    }
    // Runs the program to its end; interruptAfterMs > 0 sends it `signal` then.
    RunnerResult runner(const std::vector<std::string>& args,
                        const std::map<std::string, std::string>& env = {},
                        int interruptAfterMs = 0, int signal = SIGINT) const {
        QProcess p;
        start(p, args, env);
        if (!p.waitForStarted(5000)) return {};
        QElapsedTimer t;
        t.start();
        while (interruptAfterMs > 0 && t.elapsed() < interruptAfterMs) p.waitForFinished(20);
        if (interruptAfterMs > 0) ::kill(static_cast<pid_t>(p.processId()), signal);
        p.waitForFinished(60000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                p.readAllStandardError().toStdString(), p.readAllStandardOutput().toStdString()};
    }

    testsupport::ScratchDir m_scratch;
    std::filesystem::path m_dir = m_scratch.path();
    DevSim m_sim;  // stopped before its folder goes
    bool m_files = true;
};

}  // namespace e2e
