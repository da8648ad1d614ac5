#include "runner/run_command.h"

#include <QCoreApplication>
#include <cstdio>
#include <optional>
#include <system_error>

#include "devlist/fields.h"
#include "devlist/list_file.h"
#include "fleet/fleet_run.h"
#include "fleet/headless_dialogs.h"
#include "fleet/list_writer.h"
#include "fleet/run_record.h"
#include "fleet/selection.h"
#include "fleet/send_file.h"
#include "history/run_recorder.h"
#include "platform/files.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/qt/qt_tcp_socket.h"
#include "runner/history_command.h"
#include "runner/messages.h"
#include "runner/run_files.h"
#include "runner/run_texts.h"
#include "runner/signal_watch.h"
#include "text/cp932.h"

namespace runner {
namespace {

std::string tenths(uint32_t ms) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u.%u s", ms / 1000, (ms % 1000) / 100);
    return buf;
}

}  // namespace

int RunCommand::run() {
    const CliOptions& o = m_options;
    SignalWatch interruptWatch;  // before any thread starts, so that none takes the signals
    RunFiles files;
    std::vector<fleet::FleetDevice> devices;
    if (int refused = PrepareRun(o, files, devices); refused != kExitOk) return refused;
    if (std::string place = UnusablePlace(files, o.reportFile); !place.empty()) {
        Complain(place);
        return kExitFiles;
    }
    // A common settings file that is not there would fail every device alike: nobody is
    // connected. A record's own file is looked for when its device comes.
    if (o.verb == Verb::Send && files.settings.sendMethod != 1) {
        const std::string path =
            fleet::SendFilePath(files.settings.sendMethod, files.settings.commonSendFile, {});
        const fleet::SendFileLoad common = fleet::LoadSendFile(path, false);
        if (!common.missing.empty()) {
            Complain(Fill(Tr("send file %1 is not found."), {Shown(path)}));
            return kExitFiles;
        }
    }

    std::filesystem::path transcripts;
    if (!o.reportFile.empty()) {
        transcripts = fleet::TranscriptFolder(o.reportFile);
        if (!platform::createDirectoriesNative(transcripts)) {
            Complain(Fill(Tr("cannot create the folder %1"), {transcripts.string()}));
            return kExitFiles;
        }
    }

    platform::qt::QtEventLoop loop;
    platform::qt::QtNetwork network;
    platform::SystemClock clock;
    fleet::HeadlessDialogs dialogs(SayBox);
    fleet::ListWriter writer(files.listFile);
    fleet::FleetOptions options{
        o.verb == Verb::Send ? session::SessionMode::BulkSend : session::SessionMode::BulkCheck,
        files.settings, o.parallel, files.workFolder};
    // The devices' dumps go into the settings history, committed once the run is over.
    std::unique_ptr<history::RunRecorder> recorder;
    if (files.settings.history && !o.noHistory) {
        recorder = std::make_unique<history::RunRecorder>(HistoryRepository(o, files));
        options.recorder = recorder.get();
    }
    size_t done = 0;
    // Transcripts are written, and their memory let go, on a thread of their own: a slow disk
    // must not hold the dialogues on the loop.
    std::optional<fleet::RunRecord> record;
    if (!o.reportFile.empty())
        record.emplace(o.reportFile, transcripts, fleet::RunRecord::Rows::AtEnd);
    const size_t total = devices.size();
    fleet::FleetRun::Hooks hooks;
    hooks.deviceDone = [&](const fleet::DeviceResult& r) {
        ++done;
        if (!o.quiet) {
            const fleet::ReportRow& row = r.row;
            Say("[" + std::to_string(done) + "/" + std::to_string(total) + "] No." +
                devlist::ZeroPad(row.number, 3) + " " + Shown(row.name) + " " + Shown(row.address) +
                " " + ResultShown(r, files.settings) + " " + tenths(row.durationMs));
        }
        if (!r.served && o.quiet)
            Say("No." + devlist::ZeroPad(r.row.number, 3) + " " + ResultShown(r, files.settings));
        if (record && r.served)
            record->transcript(r.row.number, r.row.address, std::move(r.transcript));
    };
    hooks.recorded = [](const fleet::FleetDevice& d, const fleet::ListWriter::Result& write) {
        if (write.status == fleet::ListWriter::Status::Gone) {
            Say(Fill(Tr("No.%1: the record was changed meanwhile, so its result was not recorded"),
                     {devlist::ZeroPad(d.number, 3)}));
        } else if (write.status == fleet::ListWriter::Status::Failed) {
            Say(Shown(write.error));
        }
    };
    hooks.finished = [] { QCoreApplication::quit(); };
    fleet::FleetRun run(loop, clock, network, dialogs, &writer, options, std::move(devices),
                        std::move(hooks));

    int interrupts = 0;
    const platform::LocalTime started = clock.now();
    ServeRun(interruptWatch, run, o.quiet, interrupts);

    bool historyFailed = false;
    if (recorder) {
        recorder->commit({o.verb == Verb::Send ? "send" : "check",
                          fleet::SelectionText(o.selection), total,
                          static_cast<size_t>(run.okCount()), static_cast<size_t>(run.ngCount())});
        if (const history::CommitResult r = recorder->wait(); !r.ok) {
            historyFailed = true;
            Complain(Fill(Tr("cannot record the settings history: %1"), {r.error}));
        }
    }
    bool reportFailed = false;
    if (record) {
        const fleet::RunSummary summary{o.verb == Verb::Send ? "send" : "check",
                                        fleet::SelectionText(o.selection),
                                        started,
                                        clock.now(),
                                        total,
                                        static_cast<size_t>(run.okCount()),
                                        static_cast<size_t>(run.ngCount()),
                                        run.unrecordedCount(),
                                        QLX_VERSION};
        record->finish(summary, run.rows());
        reportFailed = record->reportFailed();
        if (reportFailed) Complain(Fill(Tr("cannot write the report %1"), {o.reportFile}));
        if (record->transcriptFailed()) Complain(Tr("some transcripts could not be written"));
    }

    // A success counts where the list has it: one whose result never reached the list is a
    // failure of the run, whatever the device answered.
    const int served = run.okCount() + run.ngCount();
    const int recordedOk = run.recordedOkCount();
    Say(Fill(
        Tr("bulk run: %1 device(s) served (succeeded: %2, failed: %3)"),
        {std::to_string(served), std::to_string(recordedOk), std::to_string(served - recordedOk)}));
    if (const size_t unrecorded = run.unrecordedCount(); unrecorded > 0)
        Complain(Fill(Tr("%1 result(s) did not reach the list"), {std::to_string(unrecorded)}));
    if (const auto& failure = run.saveFailure()) {
        Complain(Fill(Tr("cannot save %1: %2; no further device was started"),
                      {failure->file.string(), SystemReason(failure->error)}));
    }
    if (interrupts > 0) {
        Complain(Fill(Tr("interrupted, %1 device(s) not served"), {std::to_string(total - done)}));
        return kExitInterrupted;
    }
    if (run.writeFailures() > 0 || reportFailed || run.saveFailure() || historyFailed)
        return kExitFiles;
    if (run.ngCount() > 0 || run.goneCount() > 0) return kExitSomeFailed;
    return kExitOk;
}

}  // namespace runner
