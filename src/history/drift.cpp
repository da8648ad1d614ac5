#include "history/drift.h"

#include <algorithm>

#include "devlist/fields.h"
#include "fleet/dump_diff.h"
#include "fleet/run_report.h"
#include "text/cp932.h"

namespace history {

DriftRow DriftOf(int number, std::string name, std::string address,
                 const std::optional<std::string>& dump, const std::vector<std::string>& golden) {
    DriftRow row{number, std::move(name), std::move(address), DriftRow::State::NoDump, {}, {}};
    if (!dump) return row;
    std::vector<fleet::PlanItem> items = fleet::PlanSend(*dump, golden);
    // Lines sent as they are say nothing of what the device holds.
    std::erase_if(items,
                  [](const fleet::PlanItem& i) { return i.kind == fleet::PlanItem::Kind::Send; });
    row.names = fleet::PlanNames(items);
    if (!items.empty()) row.changes = fleet::PlanLines(items);
    row.state = items.empty() ? DriftRow::State::Same : DriftRow::State::Drifted;
    return row;
}

const char* StateName(DriftRow::State state) {
    switch (state) {
        case DriftRow::State::Same:
            return "same";
        case DriftRow::State::Drifted:
            return "drifted";
        case DriftRow::State::NoDump:
            break;
    }
    return "no dump";
}

std::string DriftCsv(const std::vector<DriftRow>& rows) {
    std::string out = "No,Name,Address,State,Count,Names\r\n";
    for (const DriftRow& r : rows) {
        out += fleet::CsvField(devlist::ZeroPad(r.number, 3)) + ',' + fleet::CsvField(r.name) +
               ',' + fleet::CsvField(r.address) + ',' + StateName(r.state) + ',' +
               std::to_string(r.names.size()) + ',' + fleet::CsvField(fleet::NamesColumn(r.names)) +
               "\r\n";
    }
    return out;
}

std::string DriftJson(const DriftSummary& run, const std::vector<DriftRow>& rows) {
    auto count = [&rows](DriftRow::State s) {
        return std::to_string(std::count_if(rows.begin(), rows.end(),
                                            [s](const DriftRow& r) { return r.state == s; }));
    };
    auto array = [](const std::vector<std::string>& items) {
        std::string out = "[";
        for (size_t i = 0; i < items.size(); ++i)
            out += (i == 0 ? "" : ", ") + fleet::JsonString(items[i]);
        return out + "]";
    };
    // The golden file's name is native (UTF-8); the JSON string helper reads code page 932.
    const std::string golden = text::encode(run.golden).value_or(std::string());
    std::string out =
        "{\n  \"run\": {\"verb\": \"drift\", \"selection\": " + fleet::JsonString(run.selection) +
        ", \"golden\": " + fleet::JsonString(golden) + ", \"start\": \"" +
        platform::isoText(run.start) + "\", \"end\": \"" + platform::isoText(run.end) +
        "\", \"selected\": " + std::to_string(rows.size()) +
        ", \"drifted\": " + count(DriftRow::State::Drifted) +
        ", \"noDump\": " + count(DriftRow::State::NoDump) +
        ", \"version\": " + fleet::JsonString(run.version) + "},\n  \"devices\": [";
    for (size_t i = 0; i < rows.size(); ++i) {
        const DriftRow& r = rows[i];
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"number\": " + std::to_string(r.number) +
               ", \"name\": " + fleet::JsonString(r.name) +
               ", \"address\": " + fleet::JsonString(r.address) + ", \"state\": \"" +
               StateName(r.state) + "\", \"names\": " + array(r.names) +
               ", \"changes\": " + array(r.changes) + "}";
    }
    return out + (rows.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

}  // namespace history
