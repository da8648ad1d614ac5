#include "runner/plan_command.h"

#include <algorithm>
#include <system_error>

#include "devlist/edit_panel.h"
#include "devlist/fields.h"
#include "fleet/dump_diff.h"
#include "fleet/headless_dialogs.h"
#include "fleet/selection.h"
#include "fleet/send_file.h"
#include "platform/files.h"
#include "runner/messages.h"
#include "runner/run_texts.h"

namespace runner {
namespace {

namespace fs = std::filesystem;

// Also for a work folder that does not exist yet: the plan must not make it.
bool sameFolder(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (fs::equivalent(a, b, ec) && !ec) return true;
    auto resolved = [](const fs::path& p) {
        std::error_code ignored;
        fs::path out = fs::weakly_canonical(fs::absolute(p, ignored), ignored).lexically_normal();
        return out.has_filename() ? out : out.parent_path();
    };
    return resolved(a) == resolved(b);
}

// The folder a plan that keeps its report writes the dialogue's files and the transcripts into:
// the report's own, unless that is the work folder (a report "data.json" beside the work folder
// "data"), whose device files a plan never touches; then the report's name with ".d".
fs::path keptFolder(const fs::path& report, const fs::path& workFolder) {
    const fs::path folder = fleet::TranscriptFolder(report);
    if (!sameFolder(folder, workFolder)) return folder;
    fs::path own = report;
    own += ".d";
    return own;
}

// The check's dump, as the dialogue wrote it into the plan's folder; nullopt and why when it
// wrote none or the dump cannot be compared.
std::optional<std::string> readCheckDump(const fs::path& folder, const fleet::ReportRow& row,
                                         std::string& error) {
    auto name = std::find_if(row.files.begin(), row.files.end(),
                             [](const std::string& f) { return f.ends_with("q2.txt"); });
    if (name == row.files.end()) {
        error = "no dump in " + folder.string();
        return std::nullopt;
    }
    return fleet::ReadDumpFile(platform::nativeIn(folder, *name), error);
}

}  // namespace

int PlanCommand::body() {
    if (int refused = makeFolder(); refused != kExitOk) return refused;
    fleet::HeadlessDialogs dialogs(boxLine());
    const fleet::FleetOptions options{session::SessionMode::BulkCheck, m_files.settings,
                                      m_options.parallel, m_folder};
    if (!m_options.reportFile.empty())
        m_record.emplace(m_options.reportFile, m_folder, fleet::RunRecord::Rows::AtEnd);
    m_total = m_devices.size();
    fleet::FleetRun::Hooks hooks;
    hooks.deviceDone = [this](const fleet::DeviceResult& r) { deviceDone(r); };
    hooks.finished = finishedHook();
    fleet::FleetRun run(m_context.loop, m_context.clock, m_context.network, dialogs, nullptr,
                        options, std::move(m_devices), std::move(hooks));
    const platform::LocalTime started = m_context.clock.now();
    serveRun(run);
    printPlans();
    const bool outputFailed = terminal().outputFailed();
    const bool reportFailed = !finishReport(started);
    return conclude(run, reportFailed || outputFailed);
}

int PlanCommand::makeFolder() {
    // The dialogue's files go where the transcripts go, never into the work folder.
    if (!m_options.reportFile.empty()) {
        m_folder = keptFolder(m_options.reportFile, m_files.workFolder);
        if (platform::createDirectoriesNative(m_folder) &&
            !sameFolder(m_folder, m_files.workFolder))
            return kExitOk;
        complain(Fill(Tr("cannot create the folder %1"), {m_folder.string()}));
        return kExitFiles;
    }
    m_scratch = platform::ScratchFolder::make(platform::temporaryFolder(), kPlanScratchPrefix);
    if (m_scratch) {
        m_folder = m_scratch->path();
        return kExitOk;
    }
    complain(Tr("cannot create a temporary folder"));
    return kExitFiles;
}

void PlanCommand::deviceDone(const fleet::DeviceResult& r) {
    ++m_done;
    fleet::ReportRow row = r.row;
    // The settings lines exactly as a send to this record would stream them. A reading only is
    // a check's, which never needs the file.
    devlist::EditPanel panel;
    devlist::EditData(panel, 0, devlist::LineStore(std::vector<std::string>{r.device.record}));
    const fleet::RunSettings& settings = m_files.settings;
    const std::string sendPath =
        fleet::SendFilePath(settings.sendMethod, settings.commonSendFile, panel.rec.sendFile);
    const fleet::SendFileLoad send = fleet::LoadSendFile(sendPath, m_options.readOnly);
    // A send would not serve a record whose file is missing: there is nothing to predict.
    if (!send.missing.empty()) row.message = send.missing;
    DevicePlan plan = planOf(r, row, send);
    if (!m_options.quiet) {
        const std::string result = send.missing.empty()
                                       ? ResultShown(r, settings)
                                       : Fill(Tr("send file %1 is not found."), {Shown(sendPath)});
        say("[" + std::to_string(m_done) + "/" + std::to_string(m_total) + "] " +
            Shown(plan.heading) + " " + result);
    }
    if (m_record) m_record->transcript(row.number, row.address, std::move(r.transcript));
    m_rows.push_back(std::move(row));
    m_plans.push_back(std::move(plan));
}

PlanCommand::DevicePlan PlanCommand::planOf(const fleet::DeviceResult& r, fleet::ReportRow& row,
                                            const fleet::SendFileLoad& send) {
    DevicePlan plan;
    plan.number = row.number;
    plan.heading = "No." + devlist::ZeroPad(row.number, 3) + " " + row.name + " " + row.address;
    const bool readOnly = m_options.readOnly;
    std::optional<std::string> dump;
    std::string noDump = row.message;
    if (r.success && send.missing.empty() && !readOnly) dump = readCheckDump(m_folder, row, noDump);
    if (readOnly && r.success) return plan;
    if (dump) {
        std::vector<fleet::PlanItem> items = fleet::PlanSend(*dump, send.lines.lines.lines());
        if (send.lines.resetPending)
            items.push_back({fleet::PlanItem::Kind::Send, "CPURESET", {}, {}});
        row.changed = fleet::PlanNames(items);
        plan.lines = fleet::PlanLines(items);
        return plan;
    }
    ++m_failed;
    plan.lines.push_back("failed: " + noDump);
    return plan;
}

void PlanCommand::printPlans() {
    // In record order, whatever order the workers finished in.
    std::stable_sort(m_plans.begin(), m_plans.end(),
                     [](const DevicePlan& a, const DevicePlan& b) { return a.number < b.number; });
    for (const DevicePlan& plan : m_plans) {
        terminal().print(Shown(plan.heading));
        for (const std::string& line : plan.lines) terminal().print("  " + Shown(line));
    }
}

bool PlanCommand::finishReport(const platform::LocalTime& started) {
    if (!m_record) return true;
    const fleet::RunSummary summary{"plan",
                                    fleet::SelectionText(m_options.selection),
                                    started,
                                    m_context.clock.now(),
                                    m_total,
                                    m_done - static_cast<size_t>(m_failed),
                                    static_cast<size_t>(m_failed),
                                    0,
                                    QLX_VERSION};
    m_record->finish(summary, m_rows);
    const bool failed = m_record->reportFailed();
    if (failed) complain(Fill(Tr("cannot write the report %1"), {m_options.reportFile}));
    if (m_record->transcriptFailed()) complain(Tr("some transcripts could not be written"));
    return !failed;
}

int PlanCommand::conclude(const fleet::FleetRun& run, bool filesFailed) {
    const auto changing =
        std::count_if(m_rows.begin(), m_rows.end(),
                      [](const fleet::ReportRow& r) { return r.changed && !r.changed->empty(); });
    say(Fill(Tr("plan: %1 device(s), %2 answered, %3 failed, %4 would change"),
             {std::to_string(m_done), std::to_string(m_done - static_cast<size_t>(m_failed)),
              std::to_string(m_failed), std::to_string(changing)}));
    if (int stopped = sayStops(run, m_total - m_done); stopped != kExitOk) return stopped;
    if (filesFailed || run.saveFailure()) return kExitFiles;
    return m_failed > 0 ? kExitSomeFailed : kExitOk;
}

}  // namespace runner
