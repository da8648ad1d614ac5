// The window following a device's variable dump of 5 and 20 MiB in 8 KiB chunks, in the normal
// and in the enlarged layout (which also shows the device log and its store): the processor
// time of the whole road, the session's step machine, the controller and the window's
// refreshes as the Qt loop runs them between chunks. Target: enlarged within 1.2x normal.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <filesystem>
#include <fstream>
#include <memory>

#include "fake_clock.h"
#include "fake_event_loop.h"
#include "fake_tcp_socket.h"
#include "shell/app.h"
#include "shell/session_controller.h"
#include "silent_dialogs.h"
#include "ui/main_window.h"

namespace {

constexpr size_t kChunkBytes = 8 * 1024;

std::vector<std::string> dumpChunks(size_t size) {
    std::string dump = "&save\r\n";
    for (int i = 0; dump.size() < size; ++i)
        dump += ".var" + std::to_string(i) + "=value-" + std::to_string(i * 7919) + "\r\n";
    dump += "LOAD_END\r\nQLX> ";
    std::vector<std::string> chunks;
    for (size_t at = 0; at < dump.size(); at += kChunkBytes)
        chunks.push_back(dump.substr(at, kChunkBytes));
    return chunks;
}

struct Window {
    explicit Window(bool enlarged) {
        char tmpl[] = "/tmp/qlx-dumpbench-XXXXXX";
        dir = mkdtemp(tmpl);
        std::ofstream(dir / "list.csv", std::ios::binary)
            << "001,F0000000,dev,127.0.0.2,80,23,,,,admin,plume,,,\r\n";
        std::filesystem::current_path(dir);
        shell::Devices devices;
        devices.clock = &clock;
        devices.network = &net;
        app = std::make_unique<shell::App>(loop, dialogs, (dir / "qlx-setting").string(), devices);
        app->start().startUp();
        auto& s = app->state();
        s.enlargedLayout = enlarged;
        s.clientWidth = enlarged ? shell::kEnlargedWidth : shell::kNormalWidth;
        s.clientHeight = enlarged ? shell::kEnlargedHeight : shell::kNormalHeight;
        window = std::make_unique<ui::MainWindow>(*app);
        window->show();
        QCoreApplication::processEvents();
        // A single check up to the device's first dump.
        app->selectRow(0);
        app->sessions()->singleCheck();
        for (const char* c :
             {"login ready.\r\nUser ID:", "Password:", "\r\nWelcome\r\nQLX> ", "ver V1.23\r\nQLX> ",
              "?ifPhysAddress=00:11:22:33:44:55\r\nQLX> ", "?sysName=\"ROOM-A\"\r\nQLX> "})
            play(c);
    }
    ~Window() {
        window.reset();
        app.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    void play(const std::string& chunk) {
        net.last().deliver(chunk);
        loop.runPending();
        QCoreApplication::processEvents();
    }

    std::filesystem::path dir;
    testsupport::FakeEventLoop loop;
    testsupport::FakeClock clock;
    testsupport::FakeNetwork net{loop};
    testsupport::SilentDialogs dialogs{true};
    std::unique_ptr<shell::App> app;
    std::unique_ptr<ui::MainWindow> window;
};

void BM_DumpThroughTheWindow(benchmark::State& state) {
    const auto chunks = dumpChunks(static_cast<size_t>(state.range(0)) << 20);
    const bool enlarged = state.range(1) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto w = std::make_unique<Window>(enlarged);
        state.ResumeTiming();
        for (const auto& c : chunks) w->play(c);
        w->window->refresh();
        state.PauseTiming();
        const bool whole = w->app->sessions()->current()->terminal().size() >
                           (static_cast<size_t>(state.range(0)) << 20);
        w.reset();
        if (!whole) {
            state.SkipWithError("the dump did not reach the terminal");
            break;
        }
        state.ResumeTiming();
    }
    state.SetLabel(enlarged ? "enlarged" : "normal");
}
BENCHMARK(BM_DumpThroughTheWindow)
    ->ArgsProduct({{5, 20}, {0, 1}})
    ->ArgNames({"MiB", "enlarged"})
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
