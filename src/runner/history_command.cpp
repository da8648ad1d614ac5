#include "runner/history_command.h"

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
std::unique_ptr<history::Store> openStore(const std::filesystem::path& path, bool& unreadable) {
    std::string error;
    std::error_code ec;
    unreadable = false;
    if (!std::filesystem::exists(path, ec)) {
        Complain(Fill(Tr("no settings history at %1 yet"), {path.string()}));
        return nullptr;
    }
    auto store = history::Store::open(path, false, error);
    if (!store) {
        Complain(Fill(Tr("cannot read the settings history: %1"), {error}));
        unreadable = true;
    }
    return store;
}

bool printLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) std::printf("%s\n", Shown(line).c_str());
    return true;
}

bool writeReport(const std::string& path, const std::string& bytes) {
    if (path.empty() || platform::writeFileAtomicNative(path, bytes)) return true;
    Complain(Fill(Tr("cannot write the report %1"), {path}));
    return false;
}

// The files and the list as a run reads them; kExitOk or the exit code after saying why not.
int loadList(const CliOptions& o, RunFiles& files, std::optional<fleet::LoadedList>& list) {
    files = LocateRunFiles(o);
    if (!files.error.empty()) {
        Complain(files.error);
        return kExitFiles;
    }
    if (!o.reportFile.empty()) {
        if (std::string clash = ReportClash(o.reportFile, files); !clash.empty()) {
            Complain(clash);
            return kExitUsage;
        }
    }
    list = LoadRunList(files);
    return list ? kExitOk : kExitFiles;
}

}  // namespace

std::filesystem::path HistoryRepository(const CliOptions& o, const RunFiles& files) {
    return o.historyPath.empty() ? history::HistoryPath(files.workFolder)
                                 : std::filesystem::path(o.historyPath);
}

int HistoryCommand::printAt(const RunFiles& files, const fleet::LoadedList& list) {
    const CliOptions& o = m_options;
    const auto index = static_cast<size_t>(o.recordNumber - 1);
    if (index >= list.records.size()) {
        Complain(Fill(Tr("the list has no record %1 (it holds %2)"),
                      {std::to_string(o.recordNumber), std::to_string(list.records.size())}));
        return kExitUsage;
    }
    bool unreadable = false;
    auto store = openStore(HistoryRepository(o, files), unreadable);
    if (!store) return unreadable ? kExitFiles : kExitSomeFailed;
    const std::string file =
        fileOf(session::SaveNames(list.records), list.records[index], o.recordNumber);
    const std::optional<std::string> dump = store->at(file, *o.at);
    if (!dump) {
        Complain(Fill(Tr("No.%1 has no dump in the settings history by then"),
                      {devlist::ZeroPad(o.recordNumber, 3)}));
        return kExitSomeFailed;
    }
    // Byte for byte, as the history holds it: redirected, it is the dump file again.
    std::fwrite(dump->data(), 1, dump->size(), stdout);
    std::fflush(stdout);
    return std::ferror(stdout) ? kExitFiles : kExitOk;
}

int HistoryCommand::run() {
    const CliOptions& o = m_options;
    RunFiles files;
    std::optional<fleet::LoadedList> list;
    if (int refused = loadList(o, files, list); refused != kExitOk) return refused;
    if (o.at) return printAt(files, *list);
    std::vector<fleet::FleetDevice> devices = SelectDevices(o, *list);
    if (devices.empty()) return kExitUsage;
    bool unreadable = false;
    auto store = openStore(HistoryRepository(o, files), unreadable);
    if (unreadable) return kExitFiles;

    const session::SaveNames names(list->records);
    std::vector<history::DeviceHistory> out;
    std::vector<std::string> wanted;
    for (const fleet::FleetDevice& d : devices) {
        out.push_back({d.number,
                       devlist::FieldGet(devlist::kListName, d.record),
                       devlist::FieldGet(devlist::kIpAddress, d.record),
                       fileOf(names, d.record, d.number),
                       {}});
        wanted.push_back(out.back().file);
    }
    if (store) {
        const auto revisions = store->revisions(wanted, o.since.value_or(0));
        for (size_t i = 0; i < out.size(); ++i) out[i].entries = history::EntriesOf(revisions[i]);
    }
    for (const auto& d : out) printLines(history::HistoryLines(d));
    std::fflush(stdout);
    const bool outputFailed = std::ferror(stdout) != 0;
    bool reportOk = true;
    if (!o.reportFile.empty()) {
        reportOk = writeReport(
            o.reportFile,
            fleet::IsJsonReport(o.reportFile)
                ? history::HistoryJson(fleet::SelectionText(o.selection), out, QLX_VERSION)
                : history::HistoryCsv(out));
    }
    return outputFailed || !reportOk ? kExitFiles : kExitOk;
}

int DriftCommand::run() {
    const CliOptions& o = m_options;
    platform::SystemClock clock;
    const platform::LocalTime started = clock.now();
    RunFiles files;
    std::optional<fleet::LoadedList> list;
    if (int refused = loadList(o, files, list); refused != kExitOk) return refused;
    std::vector<fleet::FleetDevice> devices = SelectDevices(o, *list);
    if (devices.empty()) return kExitUsage;
    // The send file's lines, as a send would stream them.
    const std::optional<std::string> goldenPath = text::encode(o.golden);
    const fleet::SendFileLoad golden =
        goldenPath ? fleet::LoadSendFile(*goldenPath, false) : fleet::SendFileLoad{{}, "?"};
    if (!golden.missing.empty()) {
        Complain(Fill(Tr("send file %1 is not found."), {o.golden}));
        return kExitFiles;
    }
    bool unreadable = false;
    auto store = openStore(HistoryRepository(o, files), unreadable);
    if (unreadable) return kExitFiles;

    const session::SaveNames names(list->records);
    const std::vector<std::string>& lines = golden.lines.lines.lines();
    std::vector<history::DriftRow> rows;
    size_t drifted = 0, noDump = 0;
    for (const fleet::FleetDevice& d : devices) {
        std::optional<std::string> dump;
        if (store) dump = store->latest(fileOf(names, d.record, d.number));
        rows.push_back(history::DriftOf(d.number, devlist::FieldGet(devlist::kListName, d.record),
                                        devlist::FieldGet(devlist::kIpAddress, d.record), dump,
                                        lines));
        const history::DriftRow& r = rows.back();
        drifted += r.state == history::DriftRow::State::Drifted;
        noDump += r.state == history::DriftRow::State::NoDump;
        std::printf("%s\n", Shown("No." + devlist::ZeroPad(r.number, 3) + " " + r.name + " " +
                                  r.address + " " + history::StateName(r.state))
                                .c_str());
        for (const std::string& c : r.changes) std::printf("  %s\n", Shown(c).c_str());
    }
    std::fflush(stdout);
    const bool outputFailed = std::ferror(stdout) != 0;
    Say(Fill(Tr("drift: %1 device(s), %2 drifted, %3 with no dump yet"),
             {std::to_string(rows.size()), std::to_string(drifted), std::to_string(noDump)}));
    bool reportOk = true;
    if (!o.reportFile.empty()) {
        const history::DriftSummary summary{fleet::SelectionText(o.selection), o.golden, started,
                                            clock.now(), QLX_VERSION};
        reportOk = writeReport(o.reportFile, fleet::IsJsonReport(o.reportFile)
                                                 ? history::DriftJson(summary, rows)
                                                 : history::DriftCsv(rows));
    }
    if (outputFailed || !reportOk) return kExitFiles;
    return drifted > 0 ? kExitSomeFailed : kExitOk;
}

}  // namespace runner
