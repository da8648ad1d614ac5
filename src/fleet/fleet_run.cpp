#include "fleet/fleet_run.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "devlist/edit_panel.h"
#include "devlist/fields.h"
#include "fleet/dump_diff.h"
#include "fleet/send_file.h"
#include "platform/files.h"
#include "session/device_session.h"
#include "session/file_names.h"
#include "session/send_store.h"
#include "text/cp932.h"

namespace fleet {
namespace {

using session::SessionMode;
namespace fs = std::filesystem;

constexpr uint32_t kSequencerMs = 500;
constexpr uint32_t kPauseAfterFailureMs = 1000;
// A file's times come from the kernel's coarse clock, which stands up to a tick (1 to 10 ms)
// behind the clock a device's start is taken from: a file the session writes within its first
// tick must not look older than the session.
constexpr auto kFileClockLag = std::chrono::milliseconds(10);

}  // namespace

struct FleetRun::Worker {
    devlist::EditPanel panel;      // the served record's boxes, as the dialogue reads them
    devlist::DeviceRecord loaded;  // the record as loaded, to tell what the device reported
    SessionMode mode = SessionMode::Stopped;  // the dialogue's; "停止" leaves it alone
    std::unique_ptr<session::DeviceSession> session;
    std::unique_ptr<platform::Timer> sequencer;
    std::unique_ptr<platform::Timer> pause;
    const FleetDevice* device = nullptr;  // null while the worker has no device
    size_t index = 0;                     // the device's, while it has one
    bool waiting = false;                 // its next devices' files are another worker's for now
    long long port = 0;
    uint32_t startTick = 0;
    uint32_t endTick = 0;
    platform::LocalTime startTime;
    fs::file_time_type startFileTime;
    uint64_t generation = 0;  // one per device served
    // pauseAfterRecord: the result is in the list, or the pause waits for it (with its success).
    bool recorded = false;
    std::optional<bool> pauseWaits;
};

FleetRun::FleetRun(platform::EventLoop& loop, platform::Clock& clock, platform::Network& network,
                   platform::Dialogs& dialogs, ListWriter* writer, FleetOptions options,
                   std::vector<FleetDevice> devices, Hooks hooks)
    : m_loop(loop),
      m_clock(clock),
      m_network(network),
      m_dialogs(dialogs),
      m_writes(writer ? std::make_unique<ListWriteQueue>(loop, *writer) : nullptr),
      m_fileWriter(!options.saver && loop.takesWorkBackFromThreads()
                       ? std::make_unique<DeviceFileWriter>(loop)
                       : nullptr),
      m_options(std::move(options)),
      m_textPool(m_options.textBudgetBytes),
      m_devices(std::move(devices)),
      m_hooks(std::move(hooks)),
      m_claims(m_devices),
      m_tally(writer != nullptr) {
    const int workers =
        std::clamp(m_options.parallel, 1, std::max(1, static_cast<int>(m_devices.size())));
    for (int i = 0; i < std::min(workers, kMaxParallel); ++i) {
        auto w = std::make_unique<Worker>();
        Worker* raw = w.get();
        w->sequencer = m_loop.createTimer();
        w->sequencer->setCallback([this, raw] { sequencer(*raw); });
        w->pause = m_loop.createTimer();
        w->pause->setCallback([this, raw] {
            raw->pause->stop();
            startNext(*raw);
        });
        m_workers.push_back(std::move(w));
    }
}

FleetRun::~FleetRun() {
    *m_alive = false;
    for (auto& w : m_workers) {
        w->sequencer->stop();
        w->pause->stop();
        w->session.reset();
    }
}

void FleetRun::start() {
    if (m_started) return;
    m_started = true;
    // Once for the whole run, rather than a scan of the folder for every device file.
    platform::sweepStaleTemporaries(m_options.workFolder);
    for (auto& w : m_workers) startNext(*w);
    checkFinished();
}

void FleetRun::stop() {
    m_stopping = true;
    // A worker in its pause has nothing running: it ends here, as "停止" ends the pause.
    for (auto& w : m_workers) {
        if (w->pause->isActive()) w->pause->stop();
    }
    checkFinished();
}

void FleetRun::finishWrites() {
    m_stopping = true;
    m_quiet = true;
    if (m_writes) m_writes->finish();
}

void FleetRun::abort() {
    m_stopping = true;
    for (auto& w : m_workers) {
        w->sequencer->stop();
        w->pause->stop();
        w->session.reset();  // closes the connection; its queued notifications are dropped
        release(*w);
        ++w->generation;
    }
    checkFinished();
}

session::DeviceSession* FleetRun::session() const {
    return m_workers.empty() ? nullptr : m_workers.front()->session.get();
}

uint64_t FleetRun::sessionId() const {
    return m_workers.empty() ? 0 : m_workers.front()->generation;
}

void FleetRun::release(Worker& w) {
    if (w.device) m_claims.release(w.index);
    w.device = nullptr;
}

void FleetRun::wakeWaiting() {
    for (auto& w : m_workers)
        if (w->waiting) startNext(*w);
}

void FleetRun::startNext(Worker& w) {
    release(w);
    w.waiting = false;
    const std::shared_ptr<bool> alive = m_alive;
    size_t index = FileClaims::npos;
    int shownNumber = 0;
    for (;;) {
        if (m_stopping || m_claims.left() == 0) {
            checkFinished();
            return;
        }
        index = m_claims.take();
        if (index == FileClaims::npos) {
            w.waiting = true;  // woken when a device's files are free again
            return;
        }
        std::optional<int> number = m_devices[index].number;
        if (m_hooks.serving) {
            number = m_hooks.serving(m_devices[index]);
            if (!*alive) return;
        }
        if (m_stopping) continue;
        if (number) {
            shownNumber = *number;
            break;
        }
    }
    const FleetDevice& d = m_devices[index];
    w.device = &d;
    w.index = index;
    m_claims.serve(index);
    w.mode = m_options.mode;
    devlist::EditPanel& panel = m_options.panel ? *m_options.panel : w.panel;
    if (!m_options.panel) {
        devlist::LineStore one(std::vector<std::string>{d.record});
        devlist::EditData(w.panel, 0, one);
    }
    w.loaded = panel.rec;

    const RunSettings& s = settingsNow();
    SendFileLoad send =
        LoadSendFile(SendFilePath(s.sendMethod, s.commonSendFile, panel.rec.sendFile),
                     session::IsCheckMode(w.mode));
    if (!send.missing.empty()) {
        notServed(w, d, send.missing);
        return;
    }

    // The next device replaces the previous one's session, which closes its connection.
    w.session.reset();
    const uint64_t generation = ++w.generation;
    const std::string host = devlist::FieldGet(devlist::kIpAddress, d.record);
    w.port = session::TelnetPortOf(devlist::FieldGet(devlist::kTelnetPort, d.record));
    w.startTick = m_loop.tickCount();
    w.endTick = w.startTick;
    w.startTime = m_clock.now();
    w.startFileTime = fs::file_time_type::clock::now() - kFileClockLag;
    Worker* worker = &w;
    session::SessionContext context{m_loop,
                                    m_clock,
                                    m_dialogs,
                                    panel,
                                    SessionOptionsOf(s),
                                    w.mode,
                                    m_options.workFolder,
                                    [this](const std::string& line) {
                                        if (m_hooks.log) m_hooks.log(line);
                                    },
                                    [this, worker, generation] {
                                        if (worker->generation == generation) ended(*worker);
                                    },
                                    [this, worker, generation] {
                                        if (worker->generation == generation && m_hooks.changed)
                                            m_hooks.changed();
                                    },
                                    session::BoundedText::kDefaultCapBytes,
                                    &m_textPool};
    context.pace = m_options.settings.pace;
    context.saves = &m_saves;
    context.saver = m_options.saver ? m_options.saver : m_fileWriter.get();
    context.uniqueSaveName = m_claims.uniqueName(index);
    context.claimSaveName = [this, worker, generation](const std::string& saveName) {
        return worker->generation == generation && m_claims.claim(worker->index, saveName);
    };
    w.session =
        std::make_unique<session::DeviceSession>(std::move(context), m_network.createTcpSocket());
    w.session->start(host, w.port, shownNumber, std::move(send.lines.lines),
                     send.lines.resetPending);
}

// A device that cannot be served gets its report row and counts as a failure, and its worker
// moves on at once: nothing was connected, so there is nothing to pause for.
void FleetRun::notServed(Worker& w, const FleetDevice& d, const std::string& reason) {
    m_tally.count(false);
    // Its row says it is not in the list: its line is left as it was.
    const ReportRow& row = m_tally.add(NotServedRow(d.number, d.record, m_clock.now(), reason));
    if (m_hooks.deviceDone) {
        const std::shared_ptr<bool> alive = m_alive;
        std::string none;
        m_hooks.deviceDone(DeviceResult{d, row, false, false, none});
        if (!*alive) return;
    }
    // A timer rather than a call: a list of records that all miss their file must not recurse.
    release(w);
    w.pause->start(1);
    wakeWaiting();
}

// At prompt pace the result is recorded as soon as the dialogue ends.
void FleetRun::ended(Worker& w) {
    w.endTick = m_loop.tickCount();
    w.sequencer->start(prompt() ? 0 : kSequencerMs);
}

void FleetRun::sequencer(Worker& w) {
    w.sequencer->stop();
    if (!w.device || !w.session) return;
    const FleetDevice& d = *w.device;
    session::DeviceSession& ss = *w.session;
    platform::LocalTime now = m_clock.now();
    // The result is taken from the session's own copy of the record's boxes: the window's
    // editor may hold another record by now.
    const devlist::EditPanel& served = ss.served();

    Outcome o;
    o.result = ss.result();
    o.failureText = ss.failureText();
    o.resetPending = ss.resetPending();
    const auto& rec = served.rec;
    if (rec.modelVersion != w.loaded.modelVersion) o.modelVersion = rec.modelVersion;
    if (rec.macAddress != w.loaded.macAddress) o.macAddress = rec.macAddress;
    if (rec.deviceName != w.loaded.deviceName) o.deviceName = rec.deviceName;
    o.lastSend = platform::dateText(now) + " " + platform::timeText(now);
    const std::string message = ResultMessage(o).value_or("");
    const bool success = o.result == session::kResultOk;
    m_tally.count(success);
    if (success) ss.clearResetPending();

    // The files of a run go into one folder: after one could not be saved, the next would not
    // be either, and every further device would be served only to lose its dump.
    if (o.result == session::kResultSaveFailed && !m_saveFailure && ss.saveFailure()) {
        m_saveFailure = ss.saveFailure();
        stop();
    }

    // A plan records nothing: its result is neither gone nor failed.
    const size_t rowIndex = m_tally.rows().size();
    w.recorded = !m_writes;
    w.pauseWaits.reset();
    if (m_writes) {
        const uint64_t generation = w.generation;
        m_writes->record(d.identity, o,
                         [this, &d, &w, generation, rowIndex](const ListWriter::Result& write) {
                             m_tally.written(rowIndex, write.status);
                             if (m_hooks.recorded) {
                                 const std::shared_ptr<bool> alive = m_alive;
                                 m_hooks.recorded(d, write);
                                 if (!*alive) return;
                             }
                             if (w.generation == generation) {
                                 w.recorded = true;
                                 if (w.pauseWaits) {
                                     const bool success = *w.pauseWaits;
                                     w.pauseWaits.reset();
                                     rest(w, success);
                                 }
                             }
                             checkFinished();
                         });
    }

    ReportRow row;
    row.number = d.number;
    row.name = devlist::FieldGet(devlist::kListName, d.record);
    row.address = devlist::FieldGet(devlist::kIpAddress, d.record);
    row.port = w.port;
    row.start = w.startTime;
    row.end = now;
    row.durationMs = w.endTick - w.startTick;
    row.message = message;
    row.files = ss.savedFiles();
    row.changed = SessionChanges(ss, m_options.workFolder, served.saveName, w.startFileTime);
    const ReportRow& kept = m_tally.add(std::move(row));
    if (m_options.recorder) {
        std::string after = ss.takeDump(false);
        std::string before = ss.takeDump(true);
        if (!after.empty() || !before.empty()) {
            m_options.recorder->add({HistoryFileName(rec.macAddress, m_claims.uniqueName(w.index)),
                                     "No." + devlist::ZeroPad(d.number, 3) + " " + kept.name,
                                     std::move(before), std::move(after)});
        }
    }

    // The session stays open through the pause, but its texts go now: with many workers, the
    // texts of sessions that are over would otherwise hold the most memory of the run.
    std::string transcript =
        m_options.keepTexts ? std::string(ss.terminal().bytes()) : ss.releaseTexts();
    if (m_hooks.deviceDone) {
        const std::shared_ptr<bool> alive = m_alive;
        m_hooks.deviceDone(DeviceResult{d, kept, success, true, transcript, &o, &ss});
        if (!*alive) return;
    }
    // The session stays until the worker's next device, as the window keeps the connection
    // open through its pause. Its files are done: a device that shares them may start.
    release(w);
    wakeWaiting();
    if (m_options.pauseAfterRecord && !w.recorded) {
        w.pauseWaits = success;
        return;
    }
    rest(w, success);
}

void FleetRun::rest(Worker& w, bool success) {
    if (m_stopping || (m_claims.left() == 0 && !m_options.pauseAfterLast)) {
        checkFinished();
        return;
    }
    // The end-command wait is the operator's own setting and stays at every pace; the pause
    // after a failure is the prescribed pace's.
    uint32_t pause =
        success ? EndWaitMs(settingsNow().endWait) : (prompt() ? 0 : kPauseAfterFailureMs);
    w.pause->start(prompt() ? pause : std::max<uint32_t>(pause, 1));
}

const RunSettings& FleetRun::settingsNow() {
    return m_hooks.settings ? m_hooks.settings() : m_options.settings;
}

void FleetRun::checkFinished() {
    if (m_finished || !m_started) return;
    for (auto& w : m_workers) {
        if (w->device || w->pause->isActive() || w->sequencer->isActive()) return;
    }
    if (writesPending() > 0) {
        // Every device is done: the last results need not wait for the next gap between
        // rewrites, which would only hold up the end of the run.
        m_writes->hurry();
        return;
    }
    m_finished = true;
    // The sessions saved their files without an fsync each: one sync makes them all durable.
    if (m_fileWriter)
        m_fileWriter->finish(m_options.workFolder);
    else
        m_saves.finish(m_options.workFolder);
    if (m_hooks.finished && !m_quiet) m_hooks.finished();
}

}  // namespace fleet
