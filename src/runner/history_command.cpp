#include "runner/history_command.h"

#include <algorithm>
#include <cstdio>

#include "devlist/fields.h"
#include "fleet/dump_recorder.h"
#include "fleet/run_report.h"
#include "fleet/send_file.h"
#include "history/device_history.h"
#include "history/drift.h"
#include "history/history_store.h"
#include "platform/files.h"
#include "runner/messages.h"
#include "runner/terminal.h"
#include "session/file_names.h"
#include "text/cp932.h"

namespace runner {
namespace {

// The file of a record in the history: by the MAC address the list has from its device, else by
// its unique name, as a run names it.
std::string fileOf(const session::SaveNames& names, const std::string& record, int number) {
    return fleet::HistoryFileName(devlist::FieldGet(devlist::kMacAddress, record),
                                  names.unique(number));
}

// The store, or null: no history yet (said, when `say`), or one that cannot be read.
std::unique_ptr<history::Store> openStore(const Terminal& t, const std::filesystem::path& path,
                                          bool& unreadable) {
    std::string error;
    std::error_code ec;
    unreadable = false;
    if (!std::filesystem::exists(path, ec)) {
        t.complain(Fill(Tr("no settings history at %1 yet"), {path.string()}));
        return nullptr;
    }
    auto store = history::Store::open(path, false, error);
    if (!store) {
        t.complain(Fill(Tr("cannot read the settings history: %1"), {error}));
        unreadable = true;
    }
    return store;
}

void printLines(const Terminal& t, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) t.print(Shown(line));
}

bool writeReport(const Terminal& t, const std::string& path, const std::string& bytes) {
    if (path.empty() || platform::writeFileAtomicNative(path, bytes)) return true;
    t.complain(Fill(Tr("cannot write the report %1"), {path}));
    return false;
}

}  // namespace

std::filesystem::path HistoryRepository(const CliOptions& o, const RunFiles& files) {
    return o.historyPath.empty() ? history::HistoryPath(files.workFolder)
                                 : std::filesystem::path(o.historyPath);
}

int HistoryCommand::printAt() {
    const CliOptions& o = m_options;
    const fleet::LoadedList& list = *m_list;
    const auto index = static_cast<size_t>(o.recordNumber - 1);
    if (index >= list.records.size()) {
        complain(Fill(Tr("the list has no record %1 (it holds %2)"),
                      {std::to_string(o.recordNumber), std::to_string(list.records.size())}));
        return kExitUsage;
    }
    bool unreadable = false;
    auto store = openStore(terminal(), HistoryRepository(o, m_files), unreadable);
    if (!store) return unreadable ? kExitFiles : kExitSomeFailed;
    const std::string file =
        fileOf(session::SaveNames(list.records), list.records[index], o.recordNumber);
    const std::optional<std::string> dump = store->at(file, *o.at);
    if (!dump) {
        complain(Fill(Tr("No.%1 has no dump in the settings history by then"),
                      {devlist::ZeroPad(o.recordNumber, 3)}));
        return kExitSomeFailed;
    }
    // Byte for byte, as the history holds it: redirected, it is the dump file again.
    terminal().write(*dump);
    return terminal().outputFailed() ? kExitFiles : kExitOk;
}

int HistoryCommand::body() {
    const CliOptions& o = m_options;
    if (o.at) return printAt();
    bool unreadable = false;
    auto store = openStore(terminal(), HistoryRepository(o, m_files), unreadable);
    if (unreadable) return kExitFiles;

    const std::vector<history::DeviceHistory> out = histories(store.get());
    for (const auto& d : out) printLines(terminal(), history::HistoryLines(d));
    const bool outputFailed = terminal().outputFailed();
    bool reportOk = true;
    if (!o.reportFile.empty()) {
        reportOk = writeReport(
            terminal(), o.reportFile,
            fleet::IsJsonReport(o.reportFile)
                ? history::HistoryJson(fleet::SelectionText(o.selection), out, QLX_VERSION)
                : history::HistoryCsv(out));
    }
    return outputFailed || !reportOk ? kExitFiles : kExitOk;
}

std::vector<history::DeviceHistory> HistoryCommand::histories(const history::Store* store) const {
    const session::SaveNames names(m_list->records);
    std::vector<history::DeviceHistory> out;
    std::vector<std::string> wanted;
    for (const fleet::FleetDevice& d : m_devices) {
        out.push_back({d.number,
                       devlist::FieldGet(devlist::kListName, d.record),
                       devlist::FieldGet(devlist::kIpAddress, d.record),
                       fileOf(names, d.record, d.number),
                       {}});
        wanted.push_back(out.back().file);
    }
    if (!store) return out;
    const auto revisions = store->revisions(wanted, m_options.since.value_or(0));
    for (size_t i = 0; i < out.size(); ++i) out[i].entries = history::EntriesOf(revisions[i]);
    return out;
}

int DriftCommand::body() {
    const CliOptions& o = m_options;
    // The send file's lines, as a send would stream them.
    const std::optional<std::string> goldenPath = text::encode(o.golden);
    const fleet::SendFileLoad golden =
        goldenPath ? fleet::LoadSendFile(*goldenPath, false) : fleet::SendFileLoad{{}, "?"};
    if (!golden.missing.empty()) {
        complain(Fill(Tr("send file %1 is not found."), {o.golden}));
        return kExitFiles;
    }
    bool unreadable = false;
    auto store = openStore(terminal(), HistoryRepository(o, m_files), unreadable);
    if (unreadable) return kExitFiles;

    const std::vector<history::DriftRow> rows = driftRows(store.get(), golden.lines.lines.lines());
    const bool outputFailed = terminal().outputFailed();
    const auto count = [&rows](history::DriftRow::State state) {
        return std::count_if(rows.begin(), rows.end(),
                             [state](const history::DriftRow& r) { return r.state == state; });
    };
    const auto drifted = count(history::DriftRow::State::Drifted);
    say(Fill(Tr("drift: %1 device(s), %2 drifted, %3 with no dump yet"),
             {std::to_string(rows.size()), std::to_string(drifted),
              std::to_string(count(history::DriftRow::State::NoDump))}));
    const bool reportOk = writeDriftReport(rows);
    if (outputFailed || !reportOk) return kExitFiles;
    return drifted > 0 ? kExitSomeFailed : kExitOk;
}

bool DriftCommand::writeDriftReport(const std::vector<history::DriftRow>& rows) const {
    const CliOptions& o = m_options;
    if (o.reportFile.empty()) return true;
    const history::DriftSummary summary{fleet::SelectionText(o.selection), o.golden, m_started,
                                        m_context.clock.now(), QLX_VERSION};
    return writeReport(terminal(), o.reportFile,
                       fleet::IsJsonReport(o.reportFile) ? history::DriftJson(summary, rows)
                                                         : history::DriftCsv(rows));
}

std::vector<history::DriftRow> DriftCommand::driftRows(const history::Store* store,
                                                       const std::vector<std::string>& golden) {
    const session::SaveNames names(m_list->records);
    std::vector<history::DriftRow> rows;
    for (const fleet::FleetDevice& d : m_devices) {
        std::optional<std::string> dump;
        if (store) dump = store->latest(fileOf(names, d.record, d.number));
        rows.push_back(history::DriftOf(d.number, devlist::FieldGet(devlist::kListName, d.record),
                                        devlist::FieldGet(devlist::kIpAddress, d.record), dump,
                                        golden));
        const history::DriftRow& r = rows.back();
        terminal().print(Shown("No." + devlist::ZeroPad(r.number, 3) + " " + r.name + " " +
                               r.address + " " + history::StateName(r.state)));
        for (const std::string& c : r.changes) terminal().print("  " + Shown(c));
    }
    return rows;
}

}  // namespace runner
