// Finding a result's record in the list as another writer left it, and the window's carry of a
// whole list: every result of a run does one lookup, every window save one carry. The worst
// list is one of identical records (the default record entered again and again), where nothing
// can be told apart and every lookup compares every line.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>

#include "devlist/line_store.h"
#include "fleet/record_identity.h"
#include "shell/list_merge.h"

namespace {

constexpr int kRecords = 999;

std::string number(int i) {
    std::string n = std::to_string(i + 1);
    return std::string(3 - std::min<size_t>(3, n.size()), '0') + n;
}

// distinct: each record its own address; otherwise every record the default record.
std::shared_ptr<devlist::LineStore> list(bool distinct) {
    auto store = std::make_shared<devlist::LineStore>();
    for (int i = 0; i < kRecords; ++i) {
        const std::string ip =
            distinct ? "10.0." + std::to_string(i / 250) + "." + std::to_string(i % 250)
                     : "0.0.0.0";
        store->lines().push_back(number(i) + ",F0000001,no name," + ip +
                                 ",80,23,00:ee:80:00:00:00,,,admin,plume,defalt.txt,,");
    }
    return store;
}

// The list after another writer recorded every record and the operator deleted the first.
devlist::LineStore after(const devlist::LineStore& start) {
    devlist::LineStore now;
    for (size_t i = 1; i < start.size(); ++i)
        now.lines().push_back(number(static_cast<int>(i) - 1) + start[i].substr(3) +
                              "2026/12/08 09:00:00,#000 OK");
    return now;
}

void BM_FindRecord(benchmark::State& state) {
    const auto start = list(state.range(0) != 0);
    const devlist::LineStore now = after(*start);
    const fleet::RecordIdentity id = fleet::IdentityOf(start, kRecords / 2);
    for (auto _ : state) benchmark::DoNotOptimize(fleet::FindRecord(now, id));
}
BENCHMARK(BM_FindRecord)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_CarryResults(benchmark::State& state) {
    const auto start = list(state.range(0) != 0);
    const devlist::LineStore now = after(*start);
    for (auto _ : state) benchmark::DoNotOptimize(shell::CarryResults(*start, *start, now));
}
BENCHMARK(BM_CarryResults)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace
