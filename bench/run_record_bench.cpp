// The window's bulk report and transcripts for N devices (100 and 999): what each device costs
// the event loop when the devices come as a run brings them (a hand-over every 200 µs; the
// writes run on the record's thread), and what the whole record costs per device when all come
// at once, until it is finished (every row appended, every transcript saved, one sync). Neither
// may grow with N. Written to /dev/shm where it exists, so that the disk does not hide the
// program's own cost.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "fleet/run_report.h"
#include "platform/files.h"
#include "shell/bulk_report.h"
#include "text/cp932.h"

namespace {

namespace fs = std::filesystem;

fs::path scratch() {
    const char* base = fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string tmpl = std::string(base) + "/qlx-record-bench-XXXXXX";
    return ::mkdtemp(tmpl.data());
}

fleet::ReportRow rowOf(int i) {
    fleet::ReportRow row;
    row.number = i + 1;
    row.name = "dev" + std::to_string(i + 1);
    row.address = "127.0." + std::to_string(1 + i / 200) + "." + std::to_string(2 + i % 200);
    row.message = "#000 OK";
    row.files = {"QLXq1.txt", "QLXq2.txt", "QLXl20.txt"};
    row.recorded = true;
    return row;
}

// paced: a pause between the devices, outside the loop's time.
void record(benchmark::State& state, bool paced) {
    const int devices = static_cast<int>(state.range(0));
    const std::string transcript(8 * 1024, 't');
    double loopSeconds = 0;
    double allSeconds = 0;
    int runs = 0;
    for (auto _ : state) {
        const fs::path folder = scratch();
        shell::BulkReport report;
        const auto start = std::chrono::steady_clock::now();
        report.begin(folder, {2026, 12, 7, 9, 5, 3});
        double loop = 0;
        for (int i = 0; i < devices; ++i) {
            if (paced) std::this_thread::sleep_for(std::chrono::microseconds(200));
            const auto device = std::chrono::steady_clock::now();
            fleet::ReportRow row;
            row.number = i + 1;
            row.name = "dev" + std::to_string(i + 1);
            row.address =
                "127.0." + std::to_string(1 + i / 200) + "." + std::to_string(2 + i % 200);
            row.message = "#000 OK";
            row.files = {"QLXq1.txt", "QLXq2.txt", "QLXl20.txt"};
            row.recorded = true;
            report.add(std::move(row), transcript);
            loop +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - device).count();
        }
        benchmark::DoNotOptimize(report.finish());
        const auto done = std::chrono::steady_clock::now();
        loopSeconds += loop;
        allSeconds += std::chrono::duration<double>(done - start).count();
        ++runs;
        state.PauseTiming();
        fs::remove_all(folder);
        state.ResumeTiming();
    }
    state.counters["loop_us_per_device"] = loopSeconds * 1e6 / runs / devices;
    if (!paced) state.counters["all_us_per_device"] = allSeconds * 1e6 / runs / devices;
}

void BM_WindowRecordPaced(benchmark::State& state) {
    record(state, true);
}
void BM_WindowRecordAtOnce(benchmark::State& state) {
    record(state, false);
}
// For comparison, what the window did before, on its loop after every device: the transcript
// saved on its own (a scan of its folder, an fsync) and the whole report rewritten.
void BM_WholeRewriteBefore(benchmark::State& state) {
    const int devices = static_cast<int>(state.range(0));
    const std::string transcript(8 * 1024, 't');
    double loopSeconds = 0;
    int runs = 0;
    for (auto _ : state) {
        const fs::path folder = scratch();
        const fs::path transcripts = folder / "run";
        std::vector<fleet::ReportRow> rows;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < devices; ++i) {
            rows.push_back(rowOf(i));
            platform::createDirectoriesNative(transcripts);
            platform::writeFileAtomicNative(
                transcripts / text::toPath(fleet::TranscriptName(i + 1, rows.back().address)),
                transcript);
            platform::writeFileAtomicNative(folder / "run.csv", fleet::ReportCsv(rows));
        }
        loopSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++runs;
        state.PauseTiming();
        fs::remove_all(folder);
        state.ResumeTiming();
    }
    state.counters["loop_us_per_device"] = loopSeconds * 1e6 / runs / devices;
}

BENCHMARK(BM_WholeRewriteBefore)->Arg(100)->Arg(999)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowRecordPaced)->Arg(100)->Arg(999)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowRecordAtOnce)->Arg(100)->Arg(999)->Unit(benchmark::kMillisecond);

}  // namespace
