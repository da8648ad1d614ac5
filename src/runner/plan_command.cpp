#include "runner/plan_command.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <system_error>

#include "devlist/edit_panel.h"
#include "devlist/fields.h"
#include "fleet/dump_diff.h"
#include "fleet/fleet_run.h"
#include "fleet/headless_dialogs.h"
#include "fleet/list_writer.h"
#include "fleet/run_record.h"
#include "fleet/selection.h"
#include "fleet/send_file.h"
#include "platform/files.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/qt/qt_tcp_socket.h"
#include "platform/scratch_folder.h"
#include "runner/messages.h"
#include "runner/run_files.h"
#include "runner/run_texts.h"
#include "runner/signal_watch.h"
#include "text/cp932.h"

namespace runner {
namespace {

namespace fs = std::filesystem;

struct DevicePlan {
    int number = 0;
    std::string heading;             // "No.001 受付 127.0.0.2", code page 932
    std::vector<std::string> lines;  // code page 932
    bool answered = false;
};

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

int PlanCommand::run() {
    const CliOptions& o = m_options;
    SignalWatch interruptWatch;  // before any thread starts, so that none takes the signals
    RunFiles files;
    std::vector<fleet::FleetDevice> devices;
    if (int refused = PrepareRun(o, files, devices); refused != kExitOk) return refused;

    // The dialogue's files go where the transcripts go, never into the work folder.
    fs::path folder;
    std::unique_ptr<platform::ScratchFolder> scratch;  // removed at the end
    const bool keep = !o.reportFile.empty();
    if (keep) {
        folder = keptFolder(o.reportFile, files.workFolder);
        if (!platform::createDirectoriesNative(folder) || sameFolder(folder, files.workFolder)) {
            Complain(Fill(Tr("cannot create the folder %1"), {folder.string()}));
            return kExitFiles;
        }
    } else if ((scratch = platform::ScratchFolder::make(platform::temporaryFolder(),
                                                        kPlanScratchPrefix))) {
        folder = scratch->path();
    } else {
        Complain(Tr("cannot create a temporary folder"));
        return kExitFiles;
    }

    platform::qt::QtEventLoop loop;
    platform::qt::QtNetwork network;
    platform::SystemClock clock;
    fleet::HeadlessDialogs dialogs(SayBox);
    fleet::FleetOptions options{session::SessionMode::BulkCheck, files.settings, o.parallel,
                                folder};
    const fleet::RunSettings& settings = files.settings;

    std::vector<DevicePlan> plans;
    std::vector<fleet::ReportRow> rows;
    size_t done = 0;
    int failed = 0;
    std::optional<fleet::RunRecord> record;
    if (keep) record.emplace(o.reportFile, folder, fleet::RunRecord::Rows::AtEnd);
    const size_t total = devices.size();
    fleet::FleetRun::Hooks hooks;
    hooks.deviceDone = [&](const fleet::DeviceResult& r) {
        ++done;
        fleet::ReportRow row = r.row;
        DevicePlan plan;
        plan.number = row.number;
        plan.heading = "No." + devlist::ZeroPad(row.number, 3) + " " + row.name + " " + row.address;
        // The settings lines exactly as a send to this record would stream them. A reading only
        // is a check's, which never needs the file.
        devlist::EditPanel panel;
        devlist::EditData(panel, 0, devlist::LineStore(std::vector<std::string>{r.device.record}));
        const std::string sendPath =
            fleet::SendFilePath(settings.sendMethod, settings.commonSendFile, panel.rec.sendFile);
        fleet::SendFileLoad send = fleet::LoadSendFile(sendPath, o.readOnly);
        // A send would not serve a record whose file is missing: there is nothing to predict.
        if (!send.missing.empty()) row.message = send.missing;
        std::optional<std::string> dump;
        std::string noDump = row.message;
        if (r.success && send.missing.empty() && !o.readOnly)
            dump = readCheckDump(folder, row, noDump);
        if (o.readOnly && r.success) {
            plan.answered = true;
        } else if (dump) {
            std::vector<fleet::PlanItem> items = fleet::PlanSend(*dump, send.lines.lines.lines());
            if (send.lines.resetPending)
                items.push_back({fleet::PlanItem::Kind::Send, "CPURESET", {}, {}});
            row.changed = fleet::PlanNames(items);
            plan.lines = fleet::PlanLines(items);
            plan.answered = true;
        } else {
            ++failed;
            plan.lines.push_back("failed: " + noDump);
        }
        if (!o.quiet) {
            const std::string result =
                send.missing.empty() ? ResultShown(r, settings)
                                     : Fill(Tr("send file %1 is not found."), {Shown(sendPath)});
            Say("[" + std::to_string(done) + "/" + std::to_string(total) + "] " +
                Shown(plan.heading) + " " + result);
        }
        if (record) record->transcript(row.number, row.address, std::move(r.transcript));
        rows.push_back(std::move(row));
        plans.push_back(std::move(plan));
    };
    hooks.finished = [] { QCoreApplication::quit(); };
    fleet::FleetRun run(loop, clock, network, dialogs, nullptr, options, std::move(devices),
                        std::move(hooks));

    int interrupts = 0;
    const platform::LocalTime started = clock.now();
    ServeRun(interruptWatch, run, o.quiet, interrupts);

    // In record order, whatever order the workers finished in.
    std::stable_sort(plans.begin(), plans.end(),
                     [](const DevicePlan& a, const DevicePlan& b) { return a.number < b.number; });
    for (const DevicePlan& plan : plans) {
        std::printf("%s\n", Shown(plan.heading).c_str());
        for (const std::string& line : plan.lines) std::printf("  %s\n", Shown(line).c_str());
    }
    std::fflush(stdout);
    const bool outputFailed = std::ferror(stdout) != 0;

    bool reportFailed = false;
    if (record) {
        const fleet::RunSummary summary{"plan",
                                        fleet::SelectionText(o.selection),
                                        started,
                                        clock.now(),
                                        total,
                                        done - static_cast<size_t>(failed),
                                        static_cast<size_t>(failed),
                                        0,
                                        QLX_VERSION};
        record->finish(summary, rows);
        reportFailed = record->reportFailed();
        if (reportFailed) Complain(Fill(Tr("cannot write the report %1"), {o.reportFile}));
        if (record->transcriptFailed()) Complain(Tr("some transcripts could not be written"));
    }
    const auto changing = std::count_if(rows.begin(), rows.end(), [](const fleet::ReportRow& r) {
        return r.changed && !r.changed->empty();
    });
    Say(Fill(Tr("plan: %1 device(s), %2 answered, %3 failed, %4 would change"),
             {std::to_string(done), std::to_string(done - failed), std::to_string(failed),
              std::to_string(changing)}));
    if (const auto& failure = run.saveFailure()) {
        Complain(Fill(Tr("cannot save %1: %2; no further device was started"),
                      {failure->file.string(), SystemReason(failure->error)}));
    }
    if (interrupts > 0) {
        Complain(Fill(Tr("interrupted, %1 device(s) not served"), {std::to_string(total - done)}));
        return kExitInterrupted;
    }
    if (reportFailed || outputFailed || run.saveFailure()) return kExitFiles;
    return failed > 0 ? kExitSomeFailed : kExitOk;
}

}  // namespace runner
