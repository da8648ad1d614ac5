// The window's side of device runs: the single and bulk starts with their questions, and what
// only the window does while fleet::FleetRun serves the devices with one worker: the served row
// selected and loaded into the record editor (whose boxes the dialogue reads and fills), the
// result in the editor, the list file and the log, the progress in the status line, "停止", the
// result box of a single run and the summary of a bulk run. A bulk run also leaves its report
// in the work folder (BulkReport). The next start replaces the run, which closes its connection.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fleet/fleet_run.h"
#include "fleet/list_writer.h"
#include "history/run_recorder.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/event_loop.h"
#include "platform/tcp_socket.h"
#include "session/device_session.h"
#include "shell/bulk_report.h"
#include "shell/list_editor.h"
#include "shell/list_files.h"
#include "shell/run_summary.h"
#include "shell/window_state.h"

namespace shell {

class SessionController {
public:
    // What stays the window's: its list view, masks and log.
    struct Hooks {
        std::function<void()> showState;                     // the window should show the state now
        std::function<void(const std::string&)> logMessage;  // a communication-log line
        std::function<void(int mode)> btnMask;
        std::function<void(const std::string& filterWord, ListSource source)> setListData;
        std::function<void(int row)> selectRow;  // -1: none
        // The record line shown in a row, and the row that shows a record line; -1 when none.
        std::function<int(int row)> recordIndexOfRow;
        std::function<int(int record)> rowOfRecord;
    };

    SessionController(WindowState& state, ListFiles& listFiles, ListEditor& listEditor,
                      platform::EventLoop& loop, platform::Dialogs& dialogs, platform::Clock& clock,
                      platform::Network& network, Hooks hooks);
    ~SessionController();

    void singleCheck();  // "設定確認" (個別接続)
    void singleSend();   // "設定送信" (個別接続)
    void bulkCheck();    // "設定確認" (一斉接続)
    void bulkSend();     // "設定送信" (一斉接続)
    void stop();         // "停止"

    session::SessionMode mode() const { return m_mode; }
    int okCount() const { return m_okCount; }
    int ngCount() const { return m_ngCount; }
    // The session being served or last served; null before the first start.
    const session::DeviceSession* current() const { return m_run ? m_run->session() : nullptr; }
    const session::BoundedText& terminal() const;
    // Changes whenever terminal() starts naming another session's text.
    uint64_t terminalId() const;
    void clearTerminal();  // "↑CLS"
    // Results handed to the list write that have not come back yet.
    size_t writesPending() const { return m_run ? m_run->writesPending() : 0; }

private:
    void startSingle(session::SessionMode mode);
    void startBulk(session::SessionMode mode);
    // Serves records (ListStore lines) through a new run, in order.
    void begin(const std::vector<int>& records);
    std::optional<int> serving(const fleet::FleetDevice& device);
    void deviceDone(const fleet::DeviceResult& result);
    void notServed(const fleet::DeviceResult& result);
    void recorded(const fleet::FleetDevice& device, const fleet::ListWriter::Result& write);
    // Ends the run in hand, its results taken into the list first.
    void dropRun();
    void finished();
    void finishRun(bool summary);
    void finishReport();
    std::string sendMethodCaption() const;
    void log(const std::string& text);
    void sessionChanged();
    void showProgress();
    // The run's dumps into the settings history, committed off the loop.
    void commitHistory();

    WindowState& m_state;
    ListFiles& m_listFiles;
    ListEditor& m_listEditor;
    platform::EventLoop& m_loop;
    platform::Dialogs& m_dialogs;
    platform::Clock& m_clock;
    platform::Network& m_network;
    Hooks m_hooks;

    // Writes the runs' results into the list file in use, off the loop, as a runner's do; it
    // keeps what it read of the file from one run to the next.
    std::unique_ptr<fleet::ListWriter> m_writer;
    // What the window does with a result once it is in the list: in the order of the results.
    struct Served {
        fleet::Outcome outcome;
        fleet::ReportRow row;
        std::string transcript;
        std::string message;
    };
    std::deque<Served> m_served;
    std::unique_ptr<fleet::FleetRun> m_run;
    std::unique_ptr<history::RunRecorder> m_recorder;  // the run's, until it is committed
    // Earlier runs' recorders whose commit may still be going on; each waits for it as it goes.
    std::vector<std::unique_ptr<history::RunRecorder>> m_committing;
    std::string m_historyVerb;            // the recorded run's: "check" or "send"
    session::BoundedText m_idleTerminal;  // shown before the first session

    // What the window shows of the run; "停止" sets Stopped, which the run reads after the
    // device being served (its dialogue keeps the mode it started with).
    session::SessionMode m_mode = session::SessionMode::Stopped;
    int m_sessionRow = -1;
    int m_servedRecord = -1;  // the ListStore line of the device being served, at its start
    BulkReport m_report;
    int m_okCount = 0;
    int m_ngCount = 0;
    std::vector<RunFailure> m_failures;  // in the order they were served
    size_t m_runNext = 0;                // devices of the bulk run taken on so far
    size_t m_runTotal = 0;               // the records checked when it started
    uint64_t m_runs = 0;                 // runs begun, for terminalId()
};

}  // namespace shell
