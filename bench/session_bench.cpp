// The dialogue's own handling of a large variable dump: chunks of 64 KiB through the step
// machine into the terminal text and the device log, then the dump file. Runs on the fake loop
// and socket, so only the session's work is timed; the work folder is in memory where possible,
// so the file's sync does not dominate.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>

#include "fake_clock.h"
#include "fake_event_loop.h"
#include "fake_tcp_socket.h"
#include "session/device_session.h"
#include "silent_dialogs.h"

namespace {

namespace fs = std::filesystem;

// A dump of size bytes of variable lines, cut into 64 KiB chunks, the last one with the marker.
std::vector<std::string> dumpChunks(size_t size) {
    std::string dump = "&save\r\n";
    for (int i = 0; dump.size() < size; ++i)
        dump += ".var" + std::to_string(i) + "=value-" + std::to_string(i * 7919) + "\r\n";
    dump += "LOAD_END\r\nQLX> ";
    std::vector<std::string> chunks;
    for (size_t at = 0; at < dump.size(); at += 64 * 1024)
        chunks.push_back(dump.substr(at, 64 * 1024));
    return chunks;
}

void BM_DumpThroughTheStepMachine(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0));
    const auto chunks = dumpChunks(size);
    std::string tmpl =
        fs::is_directory("/dev/shm") ? "/dev/shm/qlx-bench-XXXXXX" : "/tmp/qlx-bench-XXXXXX";
    const fs::path dir = mkdtemp(tmpl.data());
    const bool off = false;
    const session::SessionMode mode = session::SessionMode::SingleSend;
    for (auto _ : state) {
        state.PauseTiming();
        testsupport::FakeEventLoop loop;
        testsupport::FakeClock clock;
        testsupport::FakeNetwork net(loop);
        testsupport::SilentDialogs dialogs;
        devlist::EditPanel panel;
        session::SessionContext ctx{loop,
                                    clock,
                                    dialogs,
                                    panel,
                                    {.setTime = off,
                                     .registerIp = off,
                                     .disableDhcp = off,
                                     .registerName = off,
                                     .write = off,
                                     .cpuReset = off},
                                    mode,
                                    dir.string() + "/",
                                    [](const std::string&) {},
                                    [] {},
                                    {}};
        session::DeviceSession s(ctx, net.createTcpSocket());
        s.start("127.0.0.5", 23, 1, {}, false);
        for (const char* c : {"User ID:", "QLX> ", "ver V1\r\n> ", "?ifPhysAddress=00:11\r\n> ",
                              "?sysName=\"A\"\r\n> "}) {
            net.last().deliver(c);
            loop.runPending();
        }
        state.ResumeTiming();
        for (const auto& c : chunks) {
            net.last().deliver(c);
            loop.runPending();
        }
        if (s.step() != session::SessionStep::StreamSettings) state.SkipWithError("no dump end");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
    state.SetComplexityN(static_cast<int64_t>(size));
    std::error_code ec;
    fs::remove_all(dir, ec);
}
BENCHMARK(BM_DumpThroughTheStepMachine)
    ->Arg(1 << 20)
    ->Arg(5 << 20)
    ->Arg(20 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
