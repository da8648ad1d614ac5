// A device that floods the program: the real window (offscreen) and the real Qt loop and TCP
// adapter serve one single check against a device on 127.0.0.2 that sends 300 MB, either in
// the login step (bytes without a line break, never a prompt) or as a dump without its end
// marker. Measured: the program's peak resident memory during the flood, its resident memory
// once the result is shown, and how late the time-out result comes against its due time.
// The flooding device is a child process, so its own memory does not count.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/memory.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/qt/qt_tcp_socket.h"
#include "shell/app.h"
#include "shell/session_controller.h"
#include "silent_dialogs.h"
#include "ui/main_window.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kFloodBytes = 300u << 20;
constexpr double kLoginTimeoutMs = 5000;
constexpr double kDialogueTimeoutMs = 10000;
constexpr double kSequencerMs = 500;

enum Kind { kLoginFlood, kDumpFlood };

double residentMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// The device: answers the login and the three queries, then floods (or floods at once), and
// holds the connection open until it is killed.
[[noreturn]] void runDevice(int listener, Kind kind) {
    int fd = ::accept(listener, nullptr, nullptr);
    if (fd < 0) _exit(1);
    const std::string answers[] = {"\r\nPassword:", "\r\n> ", "ver=1.05a 240331\r\n> ",
                                   "?ifPhysAddress=00:ee:80:00:00:01\r\n> ",
                                   "?sysName=\"FLOOD\"\r\n> "};
    std::string block;
    if (kind == kLoginFlood) {
        block.assign(64 * 1024, 'x');
    } else {
        writeAll(fd, "\r\nUser ID:");
        size_t crs = 0;
        char buf[256];
        while (crs < 6) {  // the sixth line is "&save"
            ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) _exit(0);
            for (ssize_t i = 0; i < n; ++i) {
                if (buf[i] != '\r') continue;
                if (crs < 5) writeAll(fd, answers[crs]);
                ++crs;
            }
        }
        std::string line = ".fill=" + std::string(56, 'x') + "\r\n";
        while (block.size() < 64 * 1024) block += line;
    }
    for (size_t sent = 0; sent < kFloodBytes; sent += block.size())
        if (!writeAll(fd, block)) break;
    for (;;) pause();
}

class Rig {
public:
    explicit Rig(Kind kind) {
        char tmpl[] = "/tmp/qlx-floodbench-XXXXXX";
        m_dir = mkdtemp(tmpl);
        fs::create_directories(m_dir / "bin");
        m_oldCwd = fs::current_path();
        fs::current_path(m_dir);

        int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(0x7F000002);  // 127.0.0.2
        a.sin_port = 0;
        if (::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(listener, 1) != 0)
            return;
        socklen_t len = sizeof a;
        getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
        const int port = ntohs(a.sin_port);
        m_device = fork();
        if (m_device == 0) runDevice(listener, kind);
        ::close(listener);

        std::ofstream(m_dir / "list.csv", std::ios::binary)
            << "001,F0000001,flood,127.0.0.2,80," << port
            << ",00:ee:80:00:00:01,,,admin,plume,,,\r\n";
        m_app =
            std::make_unique<shell::App>(m_loop, m_dialogs, (m_dir / "bin/qlx-setting").string(),
                                         shell::Devices{nullptr, &m_network});
        m_app->start().startUp();
        m_window = std::make_unique<ui::MainWindow>(*m_app);
        m_window->refresh();
        m_window->show();
        QCoreApplication::processEvents();
        m_ready = m_device > 0;
    }
    ~Rig() {
        m_window.reset();
        m_app.reset();
        if (m_device > 0) {
            kill(m_device, SIGKILL);
            waitpid(m_device, nullptr, 0);
        }
        fs::current_path(m_oldCwd);
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    bool ready() const { return m_ready; }

    // Runs a single check until its result is shown; peak memory sampled every 20 ms.
    bool run(double& peakMb, double& resultMs, double& loginMs) {
        m_app->selectRow(0);
        auto start = std::chrono::steady_clock::now();
        auto ms = [&] {
            return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                             start)
                .count();
        };
        m_app->sessions()->singleCheck();
        peakMb = residentMb();
        loginMs = -1;
        QElapsedTimer t;
        t.start();
        while (m_dialogs.lastInformation.empty() && t.elapsed() < 120000) {
            m_loop.processEvents(20);
            peakMb = std::max(peakMb, residentMb());
            const auto* s = m_app->sessions()->current();
            if (loginMs < 0 && s && s->step() != session::SessionStep::Login) loginMs = ms();
        }
        resultMs = ms();
        return !m_dialogs.lastInformation.empty();
    }
    void settle(int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) m_loop.processEvents(20);
    }

private:
    fs::path m_dir, m_oldCwd;
    platform::qt::QtEventLoop m_loop;
    platform::qt::QtNetwork m_network;
    testsupport::SilentDialogs m_dialogs{true};
    std::unique_ptr<shell::App> m_app;
    std::unique_ptr<ui::MainWindow> m_window;
    pid_t m_device = -1;
    bool m_ready = false;
};

void Flood(benchmark::State& state, Kind kind) {
    for (auto _ : state) {
        Rig rig(kind);
        if (!rig.ready()) return state.SkipWithError("the flooding device did not start");
        double peak = 0, resultMs = 0, loginMs = 0;
        if (!rig.run(peak, resultMs, loginMs)) return state.SkipWithError("no result shown");
        rig.settle(1000);
        double due = kind == kLoginFlood ? kLoginTimeoutMs : loginMs + kDialogueTimeoutMs;
        due += kSequencerMs;
        state.SetIterationTime(resultMs / 1000);
        state.counters["peak_rss_mb"] = peak;
        state.counters["rss_after_mb"] = residentMb();
        state.counters["result_ms"] = resultMs;
        state.counters["late_ms"] = resultMs - due;
    }
}

}  // namespace

int main(int argc, char** argv) {
    platform::ReturnLargeBuffersToTheSystem();  // as the program does
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    for (auto [name, kind] :
         {std::pair{"FloodInLogin300MB", kLoginFlood}, {"FloodInDump300MB", kDumpFlood}})
        benchmark::RegisterBenchmark(name, Flood, kind)
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
