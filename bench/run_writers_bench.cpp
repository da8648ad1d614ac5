// The two writers a fleet run keeps off its loop, without the run around them, in TMPDIR (default
// /tmp; /dev/shm for memory): the device files, three per device (880 bytes each, as a check of
// qlx-devsim writes them) saved through one batch that looks at its folder every round of 8 saves
// (a round at P = 64 brings about that many), into a new folder and into one the run before
// filled; and the settings history's first run, every device's dump new (writeBlob as each
// result comes, then the commit), and a run in which 1% of them changed. What is measured is the
// process's processor time (getrusage) per device, the system's part included.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "history/history_store.h"
#include "platform/files.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFilesPerDevice = 3;
constexpr int kRound = 8;
constexpr size_t kDeviceFileBytes = 880;

double cpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

fs::path scratch(const char* name) {
    const char* tmp = std::getenv("TMPDIR");
    fs::path dir = fs::path(tmp ? tmp : "/tmp") / (name + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::string fileName(int device, int kind) {
    return "QLX00EE8000" + std::to_string(10000 + device) + "l2" + std::to_string(kind) + ".txt";
}

void saveAll(const fs::path& dir, int devices, const std::string& bytes) {
    platform::SaveBatch batch(platform::SaveBatch::Looks::WhenAsked);
    int saves = 0;
    for (int d = 0; d < devices; ++d)
        for (int k = 0; k < kFilesPerDevice; ++k) {
            if (saves++ % kRound == 0) batch.lookAgain();
            if (!batch.write(dir / fileName(d, k), bytes)) std::abort();
        }
    batch.finish(dir);
}

// range(0): devices; range(1): 1 into the folder a run before filled, 0 into a new one.
void BM_DeviceFiles(benchmark::State& state) {
    const int devices = static_cast<int>(state.range(0));
    const bool filled = state.range(1) != 0;
    const fs::path root = scratch("run_writers_bench_files_");
    const std::string bytes(kDeviceFileBytes, 'v');
    double cpu = 0;
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path dir = root / std::to_string(round++);
        fs::create_directories(dir);
        if (filled) saveAll(dir, devices, bytes);
        state.ResumeTiming();
        const double start = cpuSeconds();
        saveAll(dir, devices, bytes);
        cpu += cpuSeconds() - start;
    }
    fs::remove_all(root);
    state.counters["cpu_us_per_device"] =
        benchmark::Counter(cpu * 1e6 / devices / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_DeviceFiles)->Args({999, 0})->Args({999, 1})->Unit(benchmark::kMillisecond);

std::string dump(int device, int version, size_t size) {
    std::string out = "//--- LOG 20 DATA dev" + std::to_string(device) + "\r\r\n&save\r\n";
    for (int line = 0; out.size() < size; ++line)
        out += ".var" + std::to_string(line) + "=" + std::to_string(line * 7) + "\r\n";
    return out + ".benchSerial=" + std::to_string(device) + "-" + std::to_string(version) + "\r\n";
}

void record(const fs::path& repo, const std::vector<std::string>& dumps) {
    std::string error;
    auto store = history::Store::open(repo, true, error);
    if (!store) std::abort();
    std::vector<history::FileVersion> after;
    for (size_t d = 0; d < dumps.size(); ++d) {
        history::BlobId id;
        const std::string name = "QLX" + std::to_string(100000 + d) + ".txt";
        if (!store->writeBlob(name, dumps[d], id)) std::abort();
        after.push_back({name, {}, "No." + std::to_string(d), id});
    }
    auto message = [](bool, const std::vector<std::string>&) { return std::string("bench"); };
    if (!store->commit({}, after, message, "bench").ok) std::abort();
}

// range(0): devices; range(1): the dump's bytes; range(2): 1 for a run after the first, in
// which 1% of the devices changed.
void BM_HistoryRun(benchmark::State& state) {
    const int devices = static_cast<int>(state.range(0));
    const size_t size = static_cast<size_t>(state.range(1));
    const bool later = state.range(2) != 0;
    const fs::path root = scratch("run_writers_bench_history_");
    std::vector<std::string> first, next;
    for (int d = 0; d < devices; ++d) {
        first.push_back(dump(d, 0, size));
        next.push_back(dump(d, d < devices / 100 ? 1 : 0, size));
    }
    double cpu = 0;
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path repo = root / std::to_string(round++) / "history.git";
        if (later) record(repo, first);
        state.ResumeTiming();
        const double start = cpuSeconds();
        record(repo, later ? next : first);
        cpu += cpuSeconds() - start;
    }
    fs::remove_all(root);
    state.counters["cpu_us_per_device"] =
        benchmark::Counter(cpu * 1e6 / devices / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_HistoryRun)
    ->Args({999, 200, 0})
    ->Args({999, 8192, 0})
    ->Args({999, 200, 1})
    ->Args({999, 8192, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace
