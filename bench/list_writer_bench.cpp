// The list writer of a fleet run: N devices' results (100 and 999) reach it P at a time (P the
// run's parallelism, 8 and 64), one round each 5 ms, as a prompt-paced check on loopback brings
// them, into a list of N records in TMPDIR (default /tmp; /dev/shm for memory). What it costs is
// the process's processor time (the writer thread's; the poster only sleeps) per device: it must
// not grow with N, or a big fleet's writer costs more per device than a small one's.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "devlist/fields.h"
#include "fake_event_loop.h"
#include "fleet/list_write_queue.h"
#include "fleet/list_writer.h"
#include "fleet/record_identity.h"

namespace {

namespace fs = std::filesystem;

double cpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void BM_ListWriter(benchmark::State& state) {
    const int devices = static_cast<int>(state.range(0));
    const int parallel = static_cast<int>(state.range(1));
    const char* tmp = std::getenv("TMPDIR");
    const fs::path dir =
        fs::path(tmp ? tmp : "/tmp") / ("list_writer_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "list.csv").string();
    std::string bytes;
    for (int i = 0; i < devices; ++i)
        bytes += devlist::ZeroPad(i + 1, 3) + ",F0000001,d" + std::to_string(i) + ",127.0." +
                 std::to_string(i / 250) + "." + std::to_string(i % 250 + 1) +
                 ",80,23,00:ee:80:00:00:00,,,admin,plume,defalt.txt,,\r\n";
    double cpu = 0;
    for (auto _ : state) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        auto loaded = fleet::LoadList(path);
        const auto start = std::make_shared<const devlist::LineStore>(loaded->raw);
        testsupport::FakeEventLoop loop;
        fleet::ListWriter writer(path);
        const double before = cpuSeconds();
        {
            fleet::ListWriteQueue queue(loop, writer);
            for (int i = 0; i < devices; ++i) {
                fleet::Outcome o;
                o.lastSend = "2026/12/08 09:00:00";
                queue.record(fleet::IdentityOf(start, i), o, {});
                if ((i + 1) % parallel == 0) {
                    loop.runPending();
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
            }
        }  // waits until every result is written
        cpu += cpuSeconds() - before;
        loop.runPending();
    }
    fs::remove_all(dir);
    state.counters["cpu_us_per_device"] =
        cpu * 1e6 / static_cast<double>(devices) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ListWriter)
    ->Args({100, 8})
    ->Args({999, 8})
    ->Args({100, 64})
    ->Args({999, 64})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
