// A fleet run: the selected devices served by N workers on one event loop, each worker one
// device at a time with the window's own sequence (the dialogue, 500 ms, the result recorded,
// the pause: the end-command wait after a success, 1 s after a failure, then its next device).
// Every result goes through the one ListWriter the run is given (none: a plan, which records
// nothing), in the order the results come, so the list file has a single writer in this process;
// the writes run on a thread of their own (ListWriteQueue), so a held lock or a big list never
// stalls a dialogue. Records that share a save name are served one after the other (FileClaims),
// and a worker whose next records all wait for one being served waits for it. The run never waits
// inside a handler: it only starts timers and sessions, so many workers share the loop. All
// sessions' texts draw from one memory pool. The window runs its single and bulk runs on it too,
// with one worker and hooks for what only it shows and records.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fleet/device_file_writer.h"
#include "fleet/dump_recorder.h"
#include "fleet/file_claims.h"
#include "fleet/fleet_device.h"
#include "fleet/list_write_queue.h"
#include "fleet/list_writer.h"
#include "fleet/result_rule.h"
#include "fleet/run_report.h"
#include "fleet/run_settings.h"
#include "fleet/run_tally.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/event_loop.h"
#include "platform/files.h"
#include "platform/tcp_socket.h"
#include "session/device_session.h"
#include "session/session_state.h"
#include "session/text_pool.h"

namespace fleet {

constexpr int kMaxParallel = 128;
// What all sessions of a run may keep of their devices' text together: one pool that each of a
// session's two texts (terminal and device log) draws from as it grows, up to the cap a session
// alone keeps. A big dump is kept whole while the pool has room, however many workers there are.
constexpr size_t kRunTextBudgetBytes = size_t{512} << 20;

struct FleetOptions {
    // BulkCheck or BulkSend; the window's single runs are SingleCheck and SingleSend.
    session::SessionMode mode = session::SessionMode::BulkCheck;
    RunSettings settings;
    int parallel = 1;
    std::filesystem::path workFolder;
    // What only the window sets, for its one worker. The record editor's boxes: the dialogue
    // reads the login and file names from them as it goes and shows the device's values in
    // them as they arrive (the serving hook loads them); null: each worker's own copy.
    devlist::EditPanel* panel = nullptr;
    // The pause follows the last device too, before the run finishes (the window's summary
    // comes after it, and "停止" in it still ends the run without one).
    bool pauseAfterLast = false;
    // The pause begins once the result is in the list, so the next device never starts before
    // the operator could see the last one's result (and press "停止" at it).
    bool pauseAfterRecord = false;
    // A session's texts stay with it after its result (the window shows the last session's
    // terminal); otherwise they go at the result, to keep a run's memory small.
    bool keepTexts = false;
    // The pool all sessions' texts draw from.
    size_t textBudgetBytes = kRunTextBudgetBytes;
    // Takes every served device's dumps for the settings history; null: none kept.
    DumpRecorder* recorder = nullptr;
    // Saves the device files instead of the run's own writer thread (which a loop on virtual
    // time does not take work back from: the run then saves on the loop).
    session::FileSaver* saver = nullptr;
};

struct DeviceResult {
    const FleetDevice& device;
    const ReportRow& row;
    bool success = false;
    // False: the device was never connected (its send file is missing, row.message says so)
    // and its list line is left as it was.
    bool served = true;
    // The session's terminal text, code page 932; the hook may take it (the run keeps none).
    std::string& transcript;
    // What the session left for the record, and the session itself; null when not served.
    const Outcome* outcome = nullptr;
    const session::DeviceSession* session = nullptr;
};

class FleetRun {
public:
    struct Hooks {
        // At each device's result, before its list write.
        std::function<void(const DeviceResult&)> deviceDone;
        // When its result is in the list file (or could not be written); in the same order.
        std::function<void(const FleetDevice&, const ListWriter::Result&)> recorded;
        // Once, when no worker has anything left and every result is written.
        std::function<void()> finished;
        // Before a device is taken on: the number its session's log lines name it by (the
        // window's row), or nullopt to pass it by uncounted (its row is no longer shown). The
        // hook may stop the run. None: the device's number.
        std::function<std::optional<int>(const FleetDevice&)> serving;
        // A communication-log line of a session.
        std::function<void(const std::string&)> log;
        // A session's terminal text or boxes changed.
        std::function<void()> changed;
        // The settings as they are now, read whenever the run needs them (a device's send file
        // and options, the pause); its sessions read the check boxes from it as they go. The
        // window's boxes, which "戻る" lets the operator change during a run. The pace stays the
        // options' for the whole run. None: the settings the run was given.
        std::function<const RunSettings&()> settings;
    };

    FleetRun(platform::EventLoop& loop, platform::Clock& clock, platform::Network& network,
             platform::Dialogs& dialogs, ListWriter* writer, FleetOptions options,
             std::vector<FleetDevice> devices, Hooks hooks);
    ~FleetRun();
    FleetRun(const FleetRun&) = delete;
    FleetRun& operator=(const FleetRun&) = delete;

    void start();
    // No further device starts; the devices being served finish their dialogue and their
    // results are recorded, and a worker in its pause ends it at once (the runner's first
    // interrupt). The window's "停止" lets a pause run out instead: it calls this when its served
    // device is done, or from `serving` once the pause is over, so nothing new starts.
    void stop();
    // Closes every open connection now; the devices being served get no result.
    void abort();
    // Before the front end drops the run: no device starts any more, and every result given to
    // the list write is written and its `recorded` hook run now; `finished` is not called.
    void finishWrites();

    bool finished() const { return m_finished; }
    bool stopped() const { return m_stopping; }
    int okCount() const { return m_tally.ok(); }
    int ngCount() const { return m_tally.ng(); }
    int goneCount() const { return m_tally.gone(); }
    int writeFailures() const { return m_tally.writeFailures(); }
    // Rows whose result did not reach the list, whatever the reason (the record gone, the list
    // no longer a list, a device not served); 0 for a run that records nothing.
    size_t unrecordedCount() const { return m_tally.unrecorded(); }
    // Successes whose result is in the list.
    int recordedOkCount() const { return m_tally.recordedOk(); }
    // The first file a session could not save; the run started no device after it.
    const std::optional<session::SaveFailure>& saveFailure() const { return m_saveFailure; }
    // Results handed to the list write whose completion has not come back yet.
    size_t writesPending() const { return m_writes ? m_writes->pending() : 0; }
    int writeBatches() const { return m_writes ? m_writes->batches() : 0; }
    const session::TextPool& textPool() const { return m_textPool; }
    size_t total() const { return m_devices.size(); }
    const std::vector<ReportRow>& rows() const { return m_tally.rows(); }
    // The first worker's session: the one being served or last served; null before any.
    session::DeviceSession* session() const;
    // Changes whenever session() names another session.
    uint64_t sessionId() const;

private:
    struct Worker;
    void startNext(Worker& w);
    // The worker has no device from now on: its files are free for the devices that share them.
    void release(Worker& w);
    void wakeWaiting();
    void ended(Worker& w);
    void sequencer(Worker& w);
    // After a result: the pause, or the run's end.
    void rest(Worker& w, bool success);
    void checkFinished();
    const RunSettings& settingsNow();
    void notServed(Worker& w, const FleetDevice& d, const std::string& reason);
    bool prompt() const { return m_options.settings.pace == session::Pace::Prompt; }

    platform::EventLoop& m_loop;
    platform::Clock& m_clock;
    platform::Network& m_network;
    platform::Dialogs& m_dialogs;
    std::unique_ptr<ListWriteQueue> m_writes;  // none when the run records no results
    // The sessions' device files, off the loop when it takes work back from threads, else on
    // it; they outlive the workers, whose sessions save through them.
    std::unique_ptr<DeviceFileWriter> m_fileWriter;
    platform::SaveBatch m_saves;
    FleetOptions m_options;
    // Outlives the workers, whose sessions' texts give back to it as they go.
    session::TextPool m_textPool;
    std::vector<FleetDevice> m_devices;
    Hooks m_hooks;
    std::vector<std::unique_ptr<Worker>> m_workers;
    FileClaims m_claims;  // which devices are taken, and whose files are being written
    bool m_started = false;
    bool m_stopping = false;
    bool m_finished = false;
    bool m_quiet = false;  // finishWrites: the front end is done with the run
    std::optional<session::SaveFailure> m_saveFailure;
    RunTally m_tally;
    // Hooks may open modal boxes, during which the front end may drop the run: each call of a
    // hook checks it after.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

}  // namespace fleet
