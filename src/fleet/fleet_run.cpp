#include "fleet/fleet_run.h"

#include <algorithm>
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

}  // namespace

std::optional<std::vector<std::string>> SessionChanges(const session::DeviceSession& session,
                                                       const fs::path& workFolder,
                                                       const std::string& saveName,
                                                       fs::file_time_type since) {
    const auto& saved = session.savedFiles();
    auto wrote = [&](const std::string& name) {
        return std::find(saved.begin(), saved.end(), name) != saved.end();
    };
    if (!wrote(session::PreWriteDumpName(saveName)) || !wrote(session::PostWriteDumpName(saveName)))
        return std::nullopt;
    return SendChanges(workFolder, saveName, since);
}

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
};

FleetRun::FleetRun(platform::EventLoop& loop, platform::Clock& clock, platform::Network& network,
                   platform::Dialogs& dialogs, ListWriter& writer, FleetOptions options,
                   std::vector<FleetDevice> devices, Hooks hooks)
    : m_loop(loop),
      m_clock(clock),
      m_network(network),
      m_dialogs(dialogs),
      m_writes(options.recordResults ? std::make_unique<ListWriteQueue>(loop, writer) : nullptr),
      m_options(std::move(options)),
      m_textPool(m_options.textBudgetBytes),
      m_devices(std::move(devices)),
      m_hooks(std::move(hooks)) {
    // A record that names no files by itself is keyed by its unique name until its device
    // reports a MAC address: such records run side by side, each claiming its name when known.
    std::optional<session::SaveNames> names;
    for (const FleetDevice& d : m_devices) {
        std::string unique;
        std::string saveName = session::RecordSaveName(d.record);
        if (saveName.empty()) {
            if (!names) {
                names.emplace(d.identity.list ? *d.identity.list
                                              : devlist::LineStore(std::vector<std::string>{}));
            }
            unique = names->unique(d.number);
            saveName = unique;
        }
        m_uniqueNames.push_back(std::move(unique));
        m_fileKeys.push_back(session::CommLogName(saveName));
    }
    m_taken.assign(m_devices.size(), false);
    m_left = m_devices.size();
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

void FleetRun::abort() {
    m_stopping = true;
    for (auto& w : m_workers) {
        w->sequencer->stop();
        w->pause->stop();
        w->session.reset();  // closes the connection; its queued notifications are dropped
        w->device = nullptr;
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

bool FleetRun::claimFiles(const Worker& w, const std::string& saveName) {
    const std::string key = session::CommLogName(saveName);
    const bool busy = std::any_of(m_workers.begin(), m_workers.end(), [&](const auto& other) {
        return other.get() != &w && other->device && m_fileKeys[other->index] == key;
    });
    if (!busy) m_fileKeys[w.index] = key;
    return !busy;
}

size_t FleetRun::nextFree() const {
    for (size_t i = m_next; i < m_devices.size(); ++i) {
        if (m_taken[i]) continue;
        const bool busy = std::any_of(m_workers.begin(), m_workers.end(), [&](const auto& w) {
            return w->device && m_fileKeys[w->index] == m_fileKeys[i];
        });
        if (!busy) return i;
    }
    return std::string::npos;
}

void FleetRun::wakeWaiting() {
    for (auto& w : m_workers)
        if (w->waiting) startNext(*w);
}

void FleetRun::startNext(Worker& w) {
    w.device = nullptr;
    w.waiting = false;
    const std::shared_ptr<bool> alive = m_alive;
    size_t index = std::string::npos;
    int shownNumber = 0;
    for (;;) {
        if (m_stopping || m_left == 0) {
            checkFinished();
            return;
        }
        index = nextFree();
        if (index == std::string::npos) {
            w.waiting = true;  // woken when a device's files are free again
            return;
        }
        m_taken[index] = true;
        --m_left;
        while (m_next < m_devices.size() && m_taken[m_next]) ++m_next;
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
    w.startFileTime = fs::file_time_type::clock::now();
    Worker* worker = &w;
    const session::SessionOptions options =
        m_options.liveOptions ? *m_options.liveOptions
                              : session::SessionOptions{s.setTime,      s.registerIp, s.disableDhcp,
                                                        s.registerName, s.write,      s.cpuReset};
    session::SessionContext context{m_loop,
                                    m_clock,
                                    m_dialogs,
                                    panel,
                                    options,
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
    context.pace = s.pace;
    context.saves = &m_saves;
    context.uniqueSaveName = m_uniqueNames[index];
    context.claimSaveName = [this, worker, generation](const std::string& saveName) {
        return worker->generation == generation && claimFiles(*worker, saveName);
    };
    w.session =
        std::make_unique<session::DeviceSession>(std::move(context), m_network.createTcpSocket());
    w.session->start(host, w.port, shownNumber, std::move(send.lines.lines),
                     send.lines.resetPending);
}

// A device that cannot be served gets its report row and counts as a failure, and its worker
// moves on at once: nothing was connected, so there is nothing to pause for.
void FleetRun::notServed(Worker& w, const FleetDevice& d, const std::string& reason) {
    ++m_ng;
    m_rows.push_back(NotServedRow(d.number, d.record, m_clock.now(), reason));
    if (m_writes) m_rows.back().recorded = false;  // its line is left as it was
    if (m_hooks.deviceDone) {
        const std::shared_ptr<bool> alive = m_alive;
        std::string none;
        m_hooks.deviceDone(DeviceResult{d, m_rows.back(), false, false, none});
        if (!*alive) return;
    }
    // A timer rather than a call: a list of records that all miss their file must not recurse.
    w.device = nullptr;
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
    if (success) {
        ++m_ok;
        ss.clearResetPending();
    } else {
        ++m_ng;
    }

    // The files of a run go into one folder: after one could not be saved, the next would not
    // be either, and every further device would be served only to lose its dump.
    if (o.result == session::kResultSaveFailed && !m_saveFailure && ss.saveFailure()) {
        m_saveFailure = ss.saveFailure();
        stop();
    }

    // A plan records nothing: its result is neither gone nor failed.
    const size_t rowIndex = m_rows.size();
    if (m_writes) {
        m_writes->record(d.identity, o, [this, &d, rowIndex](const ListWriter::Result& write) {
            if (write.status == ListWriter::Status::Gone) ++m_gone;
            if (write.status == ListWriter::Status::Failed) ++m_writeFailures;
            if (rowIndex < m_rows.size())
                m_rows[rowIndex].recorded = write.status == ListWriter::Status::Written;
            if (m_hooks.recorded) m_hooks.recorded(d, write);
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
    if (m_writes) row.recorded = false;  // until its write says it is in the list
    m_rows.push_back(std::move(row));

    // The session stays open through the pause, but its texts go now: with many workers, the
    // texts of sessions that are over would otherwise hold the most memory of the run.
    std::string transcript =
        m_options.keepTexts ? std::string(ss.terminal().bytes()) : ss.releaseTexts();
    if (m_hooks.deviceDone) {
        const std::shared_ptr<bool> alive = m_alive;
        m_hooks.deviceDone(DeviceResult{d, m_rows.back(), success, true, transcript, &o, &ss});
        if (!*alive) return;
    }
    // The session stays until the worker's next device, as the window keeps the connection
    // open through its pause. Its files are done: a device that shares them may start.
    w.device = nullptr;
    wakeWaiting();
    if (m_stopping || (m_left == 0 && !m_options.pauseAfterLast)) {
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
    if (m_hooks.settings) m_hooks.settings(m_options.settings);
    return m_options.settings;
}

size_t FleetRun::unrecordedCount() const {
    return static_cast<size_t>(std::count_if(m_rows.begin(), m_rows.end(), [](const ReportRow& r) {
        return r.recorded && !*r.recorded;
    }));
}

int FleetRun::recordedOkCount() const {
    return static_cast<int>(std::count_if(m_rows.begin(), m_rows.end(), [](const ReportRow& r) {
        return r.recorded.value_or(false) && IsSuccessMessage(r.message);
    }));
}

void FleetRun::checkFinished() {
    if (m_finished || !m_started || writesPending() > 0) return;
    for (auto& w : m_workers) {
        if (w->device || w->pause->isActive() || w->sequencer->isActive()) return;
    }
    m_finished = true;
    // The sessions saved their files without an fsync each: one sync makes them all durable.
    m_saves.finish(m_options.workFolder);
    if (m_hooks.finished) m_hooks.finished();
}

}  // namespace fleet
