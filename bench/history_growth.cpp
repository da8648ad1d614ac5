// How the settings history grows: RUNS runs over N devices, in each of which PERCENT of the
// devices changed one variable, committed through the store as a run commits them. Prints the
// repository's size (its files' bytes, and the blocks they take on disk) and the time per commit.
//
//   history_growth FOLDER DUMP [N [RUNS [PERCENT]]]     default 999 devices, 100 runs, 1%
//
// DUMP is one device's dump as a check wrote it (a "q2" file); each device gets it with its own
// address and MAC address, so no two devices' files are alike.
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fleet/dump_recorder.h"
#include "history/history_store.h"

namespace {

namespace fs = std::filesystem;

std::string deviceDump(const std::string& sample, int device, int version) {
    char tail[96];
    std::snprintf(tail, sizeof tail, ".ipAdEntAddr=127.0.%d.%d\r\n.benchSerial=%06d-%d\r\n",
                  1 + device / 200, 2 + device % 200, device, version);
    return history::StoredDump(sample) + tail;
}

void sizes(const fs::path& folder, uintmax_t& bytes, uintmax_t& blocks) {
    bytes = blocks = 0;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        struct stat st {};
        if (!e.is_regular_file() || ::stat(e.path().c_str(), &st) != 0) continue;
        bytes += static_cast<uintmax_t>(st.st_size);
        blocks += static_cast<uintmax_t>(st.st_blocks) * 512;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: history_growth FOLDER DUMP [N [RUNS [PERCENT]]]\n");
        return 2;
    }
    const fs::path repo = fs::path(argv[1]) / "history.git";
    std::ifstream in(argv[2], std::ios::binary);
    std::stringstream buf;
    buf << in.rdbuf();
    const std::string sample = buf.str();
    const int n = argc > 3 ? std::atoi(argv[3]) : 999;
    const int runs = argc > 4 ? std::atoi(argv[4]) : 100;
    const double percent = argc > 5 ? std::atof(argv[5]) : 1.0;
    const int changing = std::max(1, static_cast<int>(n * percent / 100 + 0.5));

    std::string error;
    auto store = history::Store::open(repo, true, error);
    if (!store) {
        std::fprintf(stderr, "history_growth: %s\n", error.c_str());
        return 1;
    }
    std::vector<int> version(static_cast<size_t>(n), 0);
    auto message = [](bool, const std::vector<std::string>& labels) {
        return "check --all: " + std::to_string(labels.size()) + " changed";
    };
    double firstMs = 0, restMs = 0;
    for (int run = 0; run <= runs; ++run) {
        // Run 0 records every device; each later run changes `changing` devices, in turn.
        if (run > 0)
            for (int k = 0; k < changing; ++k)
                ++version[static_cast<size_t>(((run - 1) * changing + k) % n)];
        std::vector<history::FileVersion> after;
        after.reserve(static_cast<size_t>(n));
        for (int d = 0; d < n; ++d) {
            char mac[32];
            std::snprintf(mac, sizeof mac, "00:ee:80:00:%02x:%02x", d / 256, d % 256);
            after.push_back({fleet::HistoryFileName(mac, ""),
                             deviceDump(sample, d, version[static_cast<size_t>(d)]),
                             "No." + std::to_string(d + 1)});
        }
        const auto start = std::chrono::steady_clock::now();
        const auto r = store->commit({}, after, message, "bench");
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        if (!r.ok) {
            std::fprintf(stderr, "history_growth: %s\n", r.error.c_str());
            return 1;
        }
        (run == 0 ? firstMs : restMs) += ms;
    }
    uintmax_t bytes = 0, blocks = 0;
    sizes(repo, bytes, blocks);
    std::printf(
        "%d devices, dump %zu bytes, %d runs changing %d device(s) each: %d commits; repository "
        "%.1f MiB in its files, %.1f MiB on disk; first commit %.0f ms, then %.1f ms per commit\n",
        n, sample.size(), runs, changing, static_cast<int>(store->log().size()),
        static_cast<double>(bytes) / (1 << 20), static_cast<double>(blocks) / (1 << 20), firstMs,
        runs > 0 ? restMs / runs : 0.0);
    return 0;
}
