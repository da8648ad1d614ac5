#include "runner/run_command.h"

#include <cstdio>

#include "devlist/fields.h"
#include "fleet/headless_dialogs.h"
#include "fleet/list_writer.h"
#include "fleet/selection.h"
#include "fleet/send_file.h"
#include "platform/files.h"
#include "runner/history_command.h"
#include "runner/messages.h"
#include "runner/run_texts.h"

namespace runner {
namespace {

std::string tenths(uint32_t ms) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u.%u s", ms / 1000, (ms % 1000) / 100);
    return buf;
}

void showRecorded(const Terminal& t, const fleet::FleetDevice& d,
                  const fleet::ListWriter::Result& write) {
    if (write.status == fleet::ListWriter::Status::Gone) {
        t.say(Fill(Tr("No.%1: the record was changed meanwhile, so its result was not recorded"),
                   {devlist::ZeroPad(d.number, 3)}));
    } else if (write.status == fleet::ListWriter::Status::Failed) {
        t.say(Shown(write.error));
    }
}

}  // namespace

const char* RunCommand::verbName() const {
    return m_options.verb == Verb::Send ? "send" : "check";
}

int RunCommand::body() {
    if (int refused = refuseEarly(); refused != kExitOk) return refused;
    fleet::HeadlessDialogs dialogs(boxLine());
    fleet::ListWriter writer(m_files.listFile);
    openRecords();
    const fleet::FleetOptions options = fleetOptions();
    m_total = m_devices.size();
    fleet::FleetRun run(m_context.loop, m_context.clock, m_context.network, dialogs, &writer,
                        options, std::move(m_devices), hooks());
    const platform::LocalTime started = m_context.clock.now();
    serveRun(run);
    const bool historyFailed = !commitHistory(run);
    const bool reportFailed = !finishReport(run, started);
    return conclude(run, historyFailed || reportFailed);
}

int RunCommand::refuseEarly() {
    const CliOptions& o = m_options;
    if (std::string place = UnusablePlace(m_files, o.reportFile); !place.empty()) {
        complain(place);
        return kExitFiles;
    }
    // A common settings file that is not there would fail every device alike: nobody is
    // connected. A record's own file is looked for when its device comes.
    const fleet::RunSettings& settings = m_files.settings;
    if (o.verb == Verb::Send && settings.sendMethod != 1) {
        const std::string path =
            fleet::SendFilePath(settings.sendMethod, settings.commonSendFile, {});
        if (!fleet::LoadSendFile(path, false).missing.empty()) {
            complain(Fill(Tr("send file %1 is not found."), {Shown(path)}));
            return kExitFiles;
        }
    }
    if (o.reportFile.empty()) return kExitOk;
    m_transcripts = fleet::TranscriptFolder(o.reportFile);
    if (!platform::createDirectoriesNative(m_transcripts)) {
        complain(Fill(Tr("cannot create the folder %1"), {m_transcripts.string()}));
        return kExitFiles;
    }
    return kExitOk;
}

void RunCommand::openRecords() {
    const CliOptions& o = m_options;
    // The devices' dumps go into the settings history, committed once the run is over.
    if (m_files.settings.history && !o.noHistory)
        m_recorder = std::make_unique<history::RunRecorder>(HistoryRepository(o, m_files));
    // Transcripts are written, and their memory let go, on a thread of their own: a slow disk
    // must not hold the dialogues on the loop.
    if (!o.reportFile.empty())
        m_record.emplace(o.reportFile, m_transcripts, fleet::RunRecord::Rows::AtEnd);
}

fleet::FleetOptions RunCommand::fleetOptions() const {
    const CliOptions& o = m_options;
    fleet::FleetOptions options{
        o.verb == Verb::Send ? session::SessionMode::BulkSend : session::SessionMode::BulkCheck,
        m_files.settings, o.parallel, m_files.workFolder};
    options.recorder = m_recorder.get();
    return options;
}

fleet::FleetRun::Hooks RunCommand::hooks() {
    fleet::FleetRun::Hooks hooks;
    hooks.deviceDone = [this](const fleet::DeviceResult& r) { showProgress(r); };
    const Terminal& t = terminal();
    hooks.recorded = [&t](const fleet::FleetDevice& d, const fleet::ListWriter::Result& write) {
        showRecorded(t, d, write);
    };
    hooks.finished = finishedHook();
    return hooks;
}

void RunCommand::showProgress(const fleet::DeviceResult& r) {
    ++m_done;
    const fleet::ReportRow& row = r.row;
    if (!m_options.quiet) {
        say("[" + std::to_string(m_done) + "/" + std::to_string(m_total) + "] No." +
            devlist::ZeroPad(row.number, 3) + " " + Shown(row.name) + " " + Shown(row.address) +
            " " + ResultShown(r, m_files.settings) + " " + tenths(row.durationMs));
    }
    if (!r.served && m_options.quiet)
        say("No." + devlist::ZeroPad(row.number, 3) + " " + ResultShown(r, m_files.settings));
    if (m_record && r.served)
        m_record->transcript(row.number, row.address, std::move(r.transcript));
}

bool RunCommand::commitHistory(const fleet::FleetRun& run) {
    if (!m_recorder) return true;
    m_recorder->commit({verbName(), fleet::SelectionText(m_options.selection), m_total,
                        static_cast<size_t>(run.okCount()), static_cast<size_t>(run.ngCount())});
    const history::CommitResult r = m_recorder->wait();
    if (!r.ok) complain(Fill(Tr("cannot record the settings history: %1"), {r.error}));
    return r.ok;
}

bool RunCommand::finishReport(const fleet::FleetRun& run, const platform::LocalTime& started) {
    if (!m_record) return true;
    const fleet::RunSummary summary{verbName(),
                                    fleet::SelectionText(m_options.selection),
                                    started,
                                    m_context.clock.now(),
                                    m_total,
                                    static_cast<size_t>(run.okCount()),
                                    static_cast<size_t>(run.ngCount()),
                                    run.unrecordedCount(),
                                    QLX_VERSION};
    m_record->finish(summary, run.rows());
    const bool failed = m_record->reportFailed();
    if (failed) complain(Fill(Tr("cannot write the report %1"), {m_options.reportFile}));
    if (m_record->transcriptFailed()) complain(Tr("some transcripts could not be written"));
    return !failed;
}

int RunCommand::conclude(const fleet::FleetRun& run, bool filesFailed) {
    // A success counts where the list has it: one whose result never reached the list is a
    // failure of the run, whatever the device answered.
    const int served = run.okCount() + run.ngCount();
    const int recordedOk = run.recordedOkCount();
    say(Fill(
        Tr("bulk run: %1 device(s) served (succeeded: %2, failed: %3)"),
        {std::to_string(served), std::to_string(recordedOk), std::to_string(served - recordedOk)}));
    if (const size_t unrecorded = run.unrecordedCount(); unrecorded > 0)
        complain(Fill(Tr("%1 result(s) did not reach the list"), {std::to_string(unrecorded)}));
    if (int stopped = sayStops(run, m_total - m_done); stopped != kExitOk) return stopped;
    if (run.writeFailures() > 0 || filesFailed || run.saveFailure()) return kExitFiles;
    if (run.ngCount() > 0 || run.goneCount() > 0) return kExitSomeFailed;
    return kExitOk;
}

}  // namespace runner
