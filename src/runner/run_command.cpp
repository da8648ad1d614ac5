#include "runner/run_command.h"

#include <QCoreApplication>
#include <cstdio>

#include "devlist/fields.h"
#include "devlist/list_file.h"
#include "fleet/fleet_run.h"
#include "fleet/headless_dialogs.h"
#include "fleet/list_writer.h"
#include "fleet/run_report.h"
#include "fleet/selection.h"
#include "platform/files.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/qt/qt_tcp_socket.h"
#include "runner/run_files.h"
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
    RunFiles files = LocateRunFiles(o);
    if (!files.error.empty()) {
        Complain(files.error);
        return kExitFiles;
    }
    std::string whyNot;
    auto list = fleet::LoadList(files.listFile, &whyNot);
    if (!list) {
        Complain("cannot read a device list from " + Shown(files.listFile));
        Say(Shown(whyNot));
        return kExitFiles;
    }
    if (!list->unnumbered.empty())
        Say(Shown(devlist::UnnumberedText(files.listFile, list->unnumbered)));
    platform::createDirectoriesNative(files.workFolder);

    std::vector<fleet::FleetDevice> devices;
    for (int index : fleet::Select(o.selection, list->records)) {
        const int raw = list->rawLine[static_cast<size_t>(index)];
        devices.push_back({index + 1,
                           list->records[static_cast<size_t>(index)],
                           {raw, list->raw[static_cast<size_t>(raw)]}});
    }
    // An empty selection is a mistake in the command line, not a run that went well.
    if (devices.empty()) {
        Complain(fleet::NothingSelectedText(list->records));
        return kExitUsage;
    }

    std::filesystem::path transcripts;
    if (!o.reportFile.empty()) {
        transcripts = fleet::TranscriptFolder(o.reportFile);
        if (!platform::createDirectoriesNative(transcripts)) {
            Complain("cannot create the folder " + transcripts.string());
            return kExitFiles;
        }
    }

    platform::qt::QtEventLoop loop;
    platform::qt::QtNetwork network;
    platform::SystemClock clock;
    fleet::HeadlessDialogs dialogs([](const std::string& text) { Say(Shown(text)); });
    fleet::ListWriter writer(files.listFile);
    fleet::FleetOptions options{
        o.verb == Verb::Send ? session::SessionMode::BulkSend : session::SessionMode::BulkCheck,
        files.settings, o.parallel, files.workFolder};
    size_t done = 0;
    bool transcriptFailed = false;
    const size_t total = devices.size();
    fleet::FleetRun::Hooks hooks;
    hooks.deviceDone = [&](const fleet::DeviceResult& r) {
        ++done;
        if (!o.quiet) {
            const fleet::ReportRow& row = r.row;
            Say("[" + std::to_string(done) + "/" + std::to_string(total) + "] No." +
                devlist::ZeroPad(row.number, 3) + " " + Shown(row.name) + " " + Shown(row.address) +
                " " + Shown(row.message) + " " + tenths(row.durationMs));
        }
        if (r.write.status == fleet::ListWriter::Status::Gone) {
            Say(Shown("No." + devlist::ZeroPad(r.row.number, 3) +
                      text::sj(" の記録先が変更されたため、結果を記録しませんでした。")));
        } else if (r.write.status == fleet::ListWriter::Status::Failed) {
            Say(Shown(r.write.error));
        }
        if (!transcripts.empty()) {
            auto path =
                transcripts / text::toPath(fleet::TranscriptName(r.row.number, r.row.address));
            if (!platform::writeFileAtomicNative(path, r.transcript)) transcriptFailed = true;
        }
    };
    hooks.finished = [] { QCoreApplication::quit(); };
    fleet::FleetRun run(loop, clock, network, dialogs, writer, options, std::move(devices),
                        std::move(hooks));

    int interrupts = 0;
    interruptWatch.watch([&] {
        if (++interrupts == 1) {
            if (!o.quiet) Complain("stopping after the devices in progress");
            run.stop();
        } else {
            run.abort();
        }
    });
    const platform::LocalTime started = clock.now();
    run.start();
    if (!run.finished()) QCoreApplication::exec();

    bool reportFailed = false;
    if (!o.reportFile.empty()) {
        const fleet::RunSummary summary{o.verb == Verb::Send ? "send" : "check",
                                        fleet::SelectionText(o.selection),
                                        started,
                                        clock.now(),
                                        total,
                                        static_cast<size_t>(run.okCount()),
                                        static_cast<size_t>(run.ngCount()),
                                        static_cast<size_t>(run.goneCount()),
                                        QLX_VERSION};
        std::string bytes = fleet::IsJsonReport(o.reportFile)
                                ? fleet::ReportJson(summary, run.rows())
                                : fleet::ReportCsv(run.rows());
        reportFailed = !platform::writeFileAtomicNative(o.reportFile, bytes);
        if (reportFailed) Complain("cannot write the report " + o.reportFile);
    }
    if (transcriptFailed) Complain("some transcripts could not be written");

    Say(Shown(text::sj("一斉接続 ") + std::to_string(run.okCount() + run.ngCount()) +
              text::sj("台 実行しました(成功:") + std::to_string(run.okCount()) +
              text::sj(" 失敗:") + std::to_string(run.ngCount()) + ")"));
    if (interrupts > 0) {
        Complain("interrupted, " + std::to_string(total - done) + " device(s) not served");
        return kExitInterrupted;
    }
    if (run.writeFailures() > 0 || reportFailed) return kExitFiles;
    if (run.ngCount() > 0 || run.goneCount() > 0) return kExitSomeFailed;
    return kExitOk;
}

}  // namespace runner
