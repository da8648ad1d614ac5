// A bulk check of simulated devices through the real Qt event loop and TCP adapter: how far the
// wall time of the run exceeds the waits the dialogue itself prescribes, and how much processor
// the program uses while it pauses between two devices. qlx-devsim (beside this program) serves
// the devices on 127.0.0.2 and up.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devsim_child.h"
#include "platform/dialogs.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/qt/qt_tcp_socket.h"
#include "shell/app.h"
#include "shell/session_controller.h"
#include "silent_dialogs.h"

namespace {

namespace fs = std::filesystem;

constexpr int kDevices = 20;
constexpr int kFailing = 2;      // the last ones answer "Login Incorrect"
constexpr int kLoginChunks = 3;  // "User ID:", "Password:", the prompt (or the refusal)
constexpr double kLoginPauseMs = 200;
constexpr double kSequencerMs = 500;
constexpr double kFailurePauseMs = 1000;
constexpr int kPauseSeconds = 3;

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A program in a temporary folder with `devices` checked records on 127.0.0.2 and up, and the
// simulator serving them; the last `failing` refuse the password.
class Rig {
public:
    Rig(int devices, int failing, const std::string& endWait) {
        char tmpl[] = "/tmp/qlx-bulkbench-XXXXXX";
        m_dir = mkdtemp(tmpl);
        fs::create_directories(m_dir / "bin");
        m_oldCwd = fs::current_path();
        fs::current_path(m_dir);
        const int port = 30000 + getpid() % 20000;
        QStringList args{"--no-search", "--port", QString::number(port)};
        std::ofstream list(m_dir / "list.csv", std::ios::binary);
        for (int i = 0; i < devices; ++i) {
            const std::string ip = "127.0.0." + std::to_string(i + 2);
            char line[160];
            std::snprintf(line, sizeof line,
                          "%03d,F0000001,sim%d,%s,80,%d,00:ee:80:00:00:%02x,,,admin,plume,,,\r\n",
                          i + 1, i + 1, ip.c_str(), port, i + 2);
            list << line;
            std::string deviceText = ip + (i >= devices - failing ? ",fault=wrong-password" : "");
            args << "--device" << QString::fromStdString(deviceText);
        }
        list.close();
        m_ready = m_sim.start(args, devices, 5000);
        m_app =
            std::make_unique<shell::App>(m_loop, m_dialogs, (m_dir / "bin/qlx-setting").string(),
                                         shell::Devices{nullptr, &m_network});
        m_app->start().startUp();
        m_app->state().settings.endWait = endWait;
    }
    ~Rig() {
        m_app.reset();
        fs::current_path(m_oldCwd);
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    bool ready() const { return m_ready; }
    shell::App& app() { return *m_app; }
    // Starts the bulk check and runs the loop until its summary is shown; false on a stall.
    bool runBulkCheck() {
        m_dialogs.lastInformation.clear();
        m_app->sessions()->bulkCheck();
        QElapsedTimer t;
        t.start();
        // The program's own loop port: it sleeps until the next event, as the window's loop does.
        while (m_dialogs.lastInformation.empty() && t.elapsed() < 120000) m_loop.processEvents(50);
        if (!m_dialogs.lastError.empty())
            std::fprintf(stderr, "error box: %s\n", m_dialogs.lastError.c_str());
        return !m_dialogs.lastInformation.empty();
    }

private:
    fs::path m_dir, m_oldCwd;
    platform::qt::QtEventLoop m_loop;
    platform::qt::QtNetwork m_network;
    testsupport::SilentDialogs m_dialogs{true};  // OK to every question
    bench::DevSim m_sim;
    bool m_ready = false;
    std::unique_ptr<shell::App> m_app;
};

// Wall time of a 20-device bulk check with end wait 0 against the waits the dialogue prescribes.
void BulkCheck(benchmark::State& state) {
    for (auto _ : state) {
        Rig rig(kDevices, kFailing, "0");
        if (!rig.ready()) return state.SkipWithError("qlx-devsim did not start");
        auto start = std::chrono::steady_clock::now();
        if (!rig.runBulkCheck()) return state.SkipWithError("the run did not finish");
        double wall =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        double prescribed =
            kDevices * (kLoginChunks * kLoginPauseMs + kSequencerMs) + kFailing * kFailurePauseMs;
        state.SetIterationTime(wall / 1000);
        state.counters["wall_ms"] = wall;
        state.counters["prescribed_ms"] = prescribed;
        state.counters["over_pct"] = (wall - prescribed) / prescribed * 100;
        state.counters["over_ms_per_device"] = (wall - prescribed) / kDevices;
        state.counters["ok"] = rig.app().sessions()->okCount();
        state.counters["ng"] = rig.app().sessions()->ngCount();
    }
}

// Processor time used while a bulk run pauses kPauseSeconds between two devices.
void PauseCpu(benchmark::State& state) {
    for (auto _ : state) {
        Rig rig(2, 0, std::to_string(kPauseSeconds));
        if (!rig.ready()) return state.SkipWithError("qlx-devsim did not start");
        auto& sessions = *rig.app().sessions();
        // terminalId() changes with every session start.
        std::optional<uint64_t> first;
        double cpu0 = 0, cpu1 = 0;
        std::chrono::steady_clock::time_point wall0, wall1;
        rig.app().setObserver([&] {
            if (!first && sessions.okCount() + sessions.ngCount() == 1) {
                first = sessions.terminalId();
                cpu0 = cpuSeconds();
                wall0 = std::chrono::steady_clock::now();
            } else if (first && cpu1 == 0 && sessions.terminalId() != *first) {
                cpu1 = cpuSeconds();
                wall1 = std::chrono::steady_clock::now();
            }
        });
        if (!rig.runBulkCheck() || cpu1 == 0) return state.SkipWithError("no pause measured");
        double wall = std::chrono::duration<double>(wall1 - wall0).count();
        state.SetIterationTime(wall);
        state.counters["pause_s"] = wall;
        state.counters["cpu_ms"] = (cpu1 - cpu0) * 1000;
        state.counters["cpu_pct_of_core"] = (cpu1 - cpu0) / wall * 100;
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    for (auto [name, fn] : {std::pair{"BulkCheck20Devices", &BulkCheck}, {"PauseCpu", &PauseCpu}})
        benchmark::RegisterBenchmark(name, fn)->Iterations(1)->UseManualTime()->Unit(
            benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
