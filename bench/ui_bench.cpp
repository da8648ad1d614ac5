// The window's list view refreshed for 999 records (target: under 30 ms), and the whole
// start-up of the operations with such a list (settings, load, render).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

#include "platform/event_loop.h"
#include "platform/qt/qt_event_loop.h"
#include "shell/app.h"
#include "silent_dialogs.h"
#include "text/cp932.h"
#include "ui/device_list.h"
#include "ui/main_window.h"
#include "ui/terminal_mirror.h"

namespace {

std::filesystem::path makeFolder() {
    char tmpl[] = "/tmp/qlx-uibench-XXXXXX";
    std::filesystem::path dir = mkdtemp(tmpl);
    std::filesystem::create_directories(dir / "bin");
    std::ofstream out(dir / "list.csv", std::ios::binary);
    for (int i = 1; i <= 999; ++i) {
        char line[256];
        std::snprintf(line, sizeof line,
                      "%03d,F000%d00%d,%s%03d,127.0.%d.%d,80,23,00:ee:80:00:%02x:%02x,QLX-100 "
                      "V1.%02d,dev,admin,plume,c:\\data\\set%03d.txt,2026/12/01 10:00:%02d,#000 OK",
                      i, i % 2, i % 3 == 0, text::sj("会議室").c_str(), i, i / 256, i % 256,
                      i / 256, i % 256, i % 100, i, i % 60);
        out << line << "\r\n";
    }
    return dir;
}

struct Fixture {
    Fixture() : dir(makeFolder()) {
        std::filesystem::current_path(dir);
        app = std::make_unique<shell::App>(loop, dialogs, (dir / "bin" / "qlx-setting").string());
        app->start().startUp();
        window = std::make_unique<ui::MainWindow>(*app);
        window->refresh();
        window->show();
        QCoreApplication::processEvents();
    }
    ~Fixture() {
        window.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::filesystem::path dir;
    platform::qt::QtEventLoop loop;
    testsupport::SilentDialogs dialogs{true};
    std::unique_ptr<shell::App> app;
    std::unique_ptr<ui::MainWindow> window;
};

void BM_ListViewRefresh999(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        f.app->setListData(
            "", shell::ListSource::ListStore);  // a new revision: the view rebuilds its rows
        f.window->refresh();
        f.window->listView()->viewport()->repaint();
    }
}
BENCHMARK(BM_ListViewRefresh999)->Unit(benchmark::kMillisecond);

void BM_StartUpWith999Records(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        shell::App app(f.loop, f.dialogs, (f.dir / "bin" / "qlx-setting").string());
        app.start().startUp();
        benchmark::DoNotOptimize(app.state().listView.size());
    }
}
BENCHMARK(BM_StartUpWith999Records)->Unit(benchmark::kMillisecond);

// The terminal area keeping up with a device that dumps 1 or 5 MB in 64 KiB chunks: the window
// looks after every chunk, so each look must cost the new bytes only.
void BM_TerminalFollowsDump(benchmark::State& state) {
    std::string chunk;
    while (chunk.size() < 64 * 1024) chunk += ".sysLocation=\"" + text::sj("会議室") + "\"\r\n";
    const size_t chunks = static_cast<size_t>(state.range(0)) * 1024 * 1024 / chunk.size();
    for (auto _ : state) {
        QPlainTextEdit edit;
        ui::TerminalMirror mirror(&edit);
        session::BoundedText terminal;
        for (size_t i = 0; i < chunks; ++i) {
            terminal.append(chunk);
            mirror.sync(terminal, 1);
        }
        benchmark::DoNotOptimize(edit.document()->blockCount());
    }
}
BENCHMARK(BM_TerminalFollowsDump)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond)->Iterations(3);

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
