// How long each device's result keeps the window's event loop busy during a bulk check: the real
// window (offscreen), the real Qt loop and TCP adapter, a 999-record list whose first 200 records
// (checked) are served by qlx-devsim on 127.0.0.2 and up, end-command wait 0. Every top-level
// dispatch of the loop is timed; a device's result owns the dispatches from the one in which it
// is counted up to the one that starts the next device (its handlers, the list write coming back,
// the window refresh it asks for). Reported at the first and the last 20 devices, so a cost that
// grows with the devices done shows: the longest of a result's dispatches (the loop blocked at
// once) and their sum, median and maximum, the dispatch that counts the result on its own, and the
// longest dispatch up to the next result (the next device's start and repaint included).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "devsim_child.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/qt/qt_tcp_socket.h"
#include "shell/app.h"
#include "shell/session_controller.h"
#include "silent_dialogs.h"
#include "ui/main_window.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRecords = 999;
constexpr int kServedDefault = 200;
constexpr int kSegment = 20;  // devices at each end of the run that are reported

using Clock = std::chrono::steady_clock;

// Times every outermost event delivery; the probe, if set, sees each one end.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    std::function<void(double ms)> probe;
    std::function<void()> before;

    bool notify(QObject* receiver, QEvent* event) override {
        if (m_depth > 0 || !probe) return QApplication::notify(receiver, event);
        ++m_depth;
        if (before) before();
        const auto start = Clock::now();
        bool done = QApplication::notify(receiver, event);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        --m_depth;
        probe(ms);
        return done;
    }

private:
    int m_depth = 0;
};

// What one result cost the loop.
struct ResultCost {
    double counted = 0;  // the dispatch in which the result was counted
    double longest = 0;  // the longest of its dispatches
    double sum = 0;      // all of them
    // The longest dispatch from this result to the next: the next device's start (its row
    // selected, the editor filled, the window repainted) and its dialogue included.
    double cycle = 0;
};

class Rig {
public:
    explicit Rig(int served) {
        char tmpl[] = "/tmp/qlx-resultbench-XXXXXX";
        m_dir = mkdtemp(tmpl);
        fs::create_directories(m_dir / "bin");
        m_oldCwd = fs::current_path();
        fs::current_path(m_dir);
        const int port = 30000 + getpid() % 20000;
        QStringList args{"--no-search", "--port", QString::number(port)};
        std::ofstream list(m_dir / "list.csv", std::ios::binary);
        for (int i = 0; i < kRecords; ++i) {
            // The unchecked records name addresses nobody serves; they are never contacted.
            const bool checked = i < served;
            const std::string ip = checked ? "127.0.0." + std::to_string(i + 2)
                                           : "127.0." + std::to_string(1 + i / 250) + "." +
                                                 std::to_string(1 + i % 250);
            // The served ones report the MAC address the simulator derives from theirs.
            const int mac = checked ? i + 2 : 0x10000 + i;
            char line[200];
            std::snprintf(
                line, sizeof line,
                "%03d,F000000%d,sim%d,%s,80,%d,00:ee:80:%02x:%02x:%02x,,,admin,plume,,,\r\n", i + 1,
                checked ? 1 : 0, i + 1, ip.c_str(), port, mac >> 16, (mac >> 8) & 0xff, mac & 0xff);
            list << line;
            if (checked) args << "--device" << QString::fromStdString(ip);
        }
        list.close();
        m_ready = m_sim.start(args, served);
        m_app =
            std::make_unique<shell::App>(m_loop, m_dialogs, (m_dir / "bin/qlx-setting").string(),
                                         shell::Devices{nullptr, &m_network});
        m_app->start().startUp();
        m_app->state().settings.endWait = "0";
        m_window = std::make_unique<ui::MainWindow>(*m_app);
        m_window->refresh();
        m_window->show();
        QCoreApplication::processEvents();
    }
    ~Rig() {
        m_window.reset();
        m_app.reset();
        fs::current_path(m_oldCwd);
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    bool ready() const { return m_ready; }
    shell::App& app() { return *m_app; }

    // Runs the bulk check until its summary is shown; each result's cost, in the order served.
    bool run(TimedApplication& application, std::vector<ResultCost>& costs) {
        auto& sessions = *m_app->sessions();
        int done = 0;
        uint64_t terminal = 0;
        bool owned = false;  // the dispatches belong to the last result
        int countedBefore = 0;
        application.before = [&] { countedBefore = sessions.okCount() + sessions.ngCount(); };
        application.probe = [&](double ms) {
            const int counted = sessions.okCount() + sessions.ngCount();
            if (counted != countedBefore && counted > done) {
                done = counted;
                costs.push_back({ms, 0, 0, 0});
                terminal = sessions.terminalId();
                owned = true;
            } else if (owned &&
                       (sessions.terminalId() != terminal || !m_dialogs.lastInformation.empty())) {
                owned = false;  // the next device has started, or the run has ended
            }
            if (costs.empty()) return;
            costs.back().cycle = std::max(costs.back().cycle, ms);
            if (!owned) return;
            costs.back().longest = std::max(costs.back().longest, ms);
            costs.back().sum += ms;
        };
        m_dialogs.lastInformation.clear();
        sessions.bulkCheck();
        QElapsedTimer t;
        t.start();
        while (m_dialogs.lastInformation.empty() && t.elapsed() < 900000) m_loop.processEvents(50);
        application.probe = nullptr;
        application.before = nullptr;
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
    std::unique_ptr<ui::MainWindow> m_window;
};

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void report(benchmark::State& state, const std::vector<ResultCost>& costs, size_t from,
            const std::string& at) {
    std::vector<double> counted, longest, sum, cycle;
    for (size_t i = from; i < std::min(costs.size(), from + kSegment); ++i) {
        counted.push_back(costs[i].counted);
        longest.push_back(costs[i].longest);
        sum.push_back(costs[i].sum);
        cycle.push_back(costs[i].cycle);
    }
    if (longest.empty()) return;
    state.counters[at + "_blocked_med_ms"] = median(longest);
    state.counters[at + "_blocked_max_ms"] = *std::max_element(longest.begin(), longest.end());
    state.counters[at + "_sum_med_ms"] = median(sum);
    state.counters[at + "_sum_max_ms"] = *std::max_element(sum.begin(), sum.end());
    state.counters[at + "_counted_med_ms"] = median(counted);
    state.counters[at + "_cycle_med_ms"] = median(cycle);
    state.counters[at + "_cycle_max_ms"] = *std::max_element(cycle.begin(), cycle.end());
}

void WindowResult(benchmark::State& state, TimedApplication* application) {
    const char* env = getenv("DEVICES");
    const int served = std::clamp(env ? atoi(env) : kServedDefault, 2 * kSegment, 253);
    for (auto _ : state) {
        Rig rig(served);
        if (!rig.ready()) return state.SkipWithError("qlx-devsim did not start");
        std::vector<ResultCost> costs;
        const auto start = Clock::now();
        if (!rig.run(*application, costs)) return state.SkipWithError("the run did not finish");
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (costs.size() < static_cast<size_t>(served))
            return state.SkipWithError("results missing");
        report(state, costs, 0, "first");
        report(state, costs, costs.size() - kSegment, "last");
        state.counters["devices"] = static_cast<double>(costs.size());
        state.counters["ok"] = rig.app().sessions()->okCount();
        if (getenv("RESULT_COSTS")) {
            for (size_t i = 0; i < costs.size(); ++i)
                std::fprintf(stderr, "%zu %.3f %.3f %.3f %.3f\n", i + 1, costs[i].counted,
                             costs[i].longest, costs[i].sum, costs[i].cycle);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("WindowResult999Records", WindowResult, &application)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kSecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
