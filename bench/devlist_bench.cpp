// Timing of the device-list operations the operator waits for on a full list of 999 records:
// redrawing the view (with and without a filter), loading the file, sorting by each column and
// the bulk check-mark operations.
#include <benchmark/benchmark.h>

#include "devlist/check_marks.h"
#include "devlist/device_record.h"
#include "devlist/fields.h"
#include "devlist/list_edit.h"
#include "devlist/list_file.h"
#include "devlist/list_view.h"

namespace {

using namespace devlist;

// A full list with varied fields, as a list file holds it.
std::string fullListFile() {
    std::string file;
    for (int i = 1; i <= kMaxRecords; ++i) {
        DeviceRecord r;
        r.no = ZeroPad(i, 3);
        r.flags = std::string("F000") + "01"[i % 2] + "01"[i % 3 == 0] + "01"[i % 5 == 0] +
                  "01"[i % 7 == 0];
        r.listName =
            "device-" + std::to_string((i * 7919) % 1000) + "-floor" + std::to_string(i % 9);
        r.ipAddress = "192.168." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
        r.macAddress = "00:ee:80:00:" + ZeroPad(i / 100, 2) + ":" + ZeroPad(i % 100, 2);
        r.modelVersion =
            "QLX-" + std::to_string(100 + i % 4) + " Ver" + std::to_string(i % 3) + ".2";
        r.deviceName = "unit" + std::to_string(i);
        r.sendFile = "c:\\settings\\site" + std::to_string(i % 13) + "\\conf" +
                     std::to_string(i % 50) + ".txt";
        if (i % 4)
            r.lastSend = "2024/0" + std::to_string(1 + i % 9) + "/1" + std::to_string(i % 10) +
                         " 10:" + ZeroPad(i % 60, 2) + ":00";
        r.message = i % 6 ? "#000 OK" : "#404 NG Time Out";
        file += r.toLine() + "\r\n";
    }
    return file;
}

const LineStore& fullList() {
    static const LineStore list =
        BuildListRecords(LineStore::fromFileBytes(fullListFile())).records;
    return list;
}

void BM_RenderListUnfiltered(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(RenderList("", fullList()));
}
BENCHMARK(BM_RenderListUnfiltered)->Unit(benchmark::kMicrosecond);

void BM_RenderListFiltered(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(RenderList("192.168.2", fullList()));
}
BENCHMARK(BM_RenderListFiltered)->Unit(benchmark::kMicrosecond);

void BM_BuildListRecords(benchmark::State& state) {
    LineStore raw = LineStore::fromFileBytes(fullListFile());
    for (auto _ : state) benchmark::DoNotOptimize(BuildListRecords(raw));
}
BENCHMARK(BM_BuildListRecords)->Unit(benchmark::kMicrosecond);

void BM_LoadListFileBytes(benchmark::State& state) {
    std::string bytes = fullListFile();
    for (auto _ : state)
        benchmark::DoNotOptimize(BuildListRecords(LineStore::fromFileBytes(bytes)));
}
BENCHMARK(BM_LoadListFileBytes)->Unit(benchmark::kMicrosecond);

void BM_SortRecords(benchmark::State& state) {
    auto column = static_cast<SortColumn>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(SortRecords(fullList(), column, SortOrder::Ascending));
}
BENCHMARK(BM_SortRecords)->DenseRange(0, kSortColumns - 1)->Unit(benchmark::kMicrosecond);

void BM_SortRecordsDescending(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(SortRecords(fullList(), SortColumn::Time, SortOrder::Descending));
}
BENCHMARK(BM_SortRecordsDescending)->Unit(benchmark::kMicrosecond);

// The group buttons: every shown row checked exactly when it belongs to the group.
void BM_GroupCheck(benchmark::State& state) {
    ListRender view = RenderList("", fullList());
    LineStore list = fullList();
    for (auto _ : state) {
        for (size_t k = 0; k < view.groupStore.size(); ++k) {
            int row = static_cast<int>(k);
            CheckStatusSave(view.groupStore, row, row, RowInGroup(view.groupStore, row, 2), list);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_GroupCheck)->Unit(benchmark::kMicrosecond);

void BM_CheckAll(benchmark::State& state) {
    ListRender view = RenderList("", fullList());
    LineStore list = fullList();
    for (auto _ : state) {
        for (size_t k = 0; k < view.groupStore.size(); ++k)
            CheckStatusSave(view.groupStore, static_cast<int>(k), static_cast<int>(k), true, list);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CheckAll)->Unit(benchmark::kMicrosecond);

void BM_WithoutChecked(benchmark::State& state) {
    ListRender view = RenderList("", fullList());
    for (auto _ : state) benchmark::DoNotOptimize(WithoutChecked(view.entries, fullList()));
}
BENCHMARK(BM_WithoutChecked)->Unit(benchmark::kMicrosecond);

}  // namespace
