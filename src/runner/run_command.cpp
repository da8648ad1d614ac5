#include "runner/run_command.h"

#include <QCoreApplication>
#include <cstdio>
#include <memory>

#include "devlist/fields.h"
#include "fleet/fleet_run.h"
#include "fleet/headless_dialogs.h"
#include "fleet/list_writer.h"
#include "fleet/run_report.h"
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

void say(const std::string& utf8) {
    std::fprintf(stderr, "%s\n", utf8.c_str());
    std::fflush(stderr);
}

}  // namespace

int RunCommand::run() {
    const CliOptions& o = m_options;
    SignalWatch interruptWatch;  // before any thread starts, so that none takes the signals
    RunFiles files = LocateRunFiles(o);
    if (!files.error.empty()) {
        say("qlx-setting-cli: " + files.error);
        return kExitFiles;
    }
    auto list = fleet::LoadList(files.listFile);
    if (!list) {
        say("qlx-setting-cli: cannot read a device list from " + Shown(files.listFile));
        return kExitFiles;
    }
    platform::createDirectoriesNative(files.workFolder);

    std::vector<fleet::FleetDevice> devices;
    // Every identity refers to the list as loaded, which tells a record from its twins.
    const auto start = std::make_shared<const devlist::LineStore>(list->raw);
    for (int index : fleet::Select(o.selection, list->records)) {
        const int raw = list->rawLine[static_cast<size_t>(index)];
        devices.push_back(
            {index + 1, list->records[static_cast<size_t>(index)], fleet::IdentityOf(start, raw)});
    }

    std::filesystem::path transcripts;
    if (!o.reportFile.empty()) {
        transcripts = fleet::TranscriptFolder(o.reportFile);
        if (!platform::createDirectoriesNative(transcripts)) {
            say("qlx-setting-cli: cannot create the folder " + transcripts.string());
            return kExitFiles;
        }
    }

    platform::qt::QtEventLoop loop;
    platform::qt::QtNetwork network;
    platform::SystemClock clock;
    fleet::HeadlessDialogs dialogs([](const std::string& text) { say(Shown(text)); });
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
            say("[" + std::to_string(done) + "/" + std::to_string(total) + "] No." +
                devlist::ZeroPad(row.number, 3) + " " + Shown(row.name) + " " + row.address + " " +
                Shown(row.message) + " " + tenths(row.durationMs));
        }
        if (r.write.status == fleet::ListWriter::Status::Gone) {
            say(Shown("No." + devlist::ZeroPad(r.row.number, 3) +
                      text::sj(" の記録先が変更されたため、結果を記録しませんでした。")));
        } else if (r.write.status == fleet::ListWriter::Status::Failed) {
            say(Shown(r.write.error));
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
            if (!o.quiet) say("qlx-setting-cli: stopping after the devices in progress");
            run.stop();
        } else {
            run.abort();
        }
    });
    run.start();
    if (!run.finished()) QCoreApplication::exec();

    bool reportFailed = false;
    if (!o.reportFile.empty()) {
        std::string bytes = fleet::IsJsonReport(o.reportFile) ? fleet::ReportJson(run.rows())
                                                              : fleet::ReportCsv(run.rows());
        reportFailed = !platform::writeFileAtomicNative(o.reportFile, bytes);
        if (reportFailed) say("qlx-setting-cli: cannot write the report " + o.reportFile);
    }
    if (transcriptFailed) say("qlx-setting-cli: some transcripts could not be written");

    say(Shown(text::sj("一斉接続 ") + std::to_string(run.okCount() + run.ngCount()) +
              text::sj("台 実行しました(成功:") + std::to_string(run.okCount()) +
              text::sj(" 失敗:") + std::to_string(run.ngCount()) + ")"));
    if (interrupts > 0) {
        say("qlx-setting-cli: interrupted, " + std::to_string(total - done) +
            " device(s) not served");
        return kExitInterrupted;
    }
    if (run.writeFailures() > 0 || reportFailed) return kExitFiles;
    if (run.ngCount() > 0 || run.goneCount() > 0) return kExitSomeFailed;
    return kExitOk;
}

}  // namespace runner
