// The window's side of device sessions: the single and bulk starts with their questions, session
// start for a list row, the sequencer that records each result in the device's record and moves
// a bulk run on, "停止", and the progress shown in the status line. One DeviceSession object
// serves one device; the next start replaces it, which also closes its connection. A result is
// written into the list file as a runner writes it (ListFiles::writeResult); a bulk run also
// leaves its report in the work folder (BulkReport).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/record_identity.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/event_loop.h"
#include "platform/tcp_socket.h"
#include "session/device_session.h"
#include "session/result_record.h"
#include "session/send_store.h"
#include "shell/bulk_report.h"

namespace shell {

class App;

class SessionController {
public:
    SessionController(App& app, platform::EventLoop& loop, platform::Dialogs& dialogs,
                      platform::Clock& clock, platform::Network& network);
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
    const session::DeviceSession* current() const { return m_session.get(); }
    const session::BoundedText& terminal() const;
    // Changes whenever terminal() starts naming another session's text.
    uint64_t terminalId() const { return m_generation; }
    void clearTerminal();  // "↑CLS"

private:
    void startSingle(session::SessionMode mode);
    void startBulk(session::SessionMode mode);
    // A bulk run's device: select its row, load it, start its session; false when not started.
    bool serve(int record);
    bool dataSend(int row);  // false: the device was not connected (notServed)
    void notServed(int row, const std::string& reason);
    void sequencer();
    void finishRun(bool summary);
    void finishReport();
    void reportServed(const std::string& message);
    std::string sendMethodCaption() const;
    void log(const std::string& text);
    void sessionChanged();
    void showProgress();

    App& m_app;
    platform::EventLoop& m_loop;
    platform::Dialogs& m_dialogs;
    platform::Clock& m_clock;
    platform::Network& m_network;

    std::unique_ptr<session::DeviceSession> m_session;
    std::unique_ptr<platform::Timer> m_sequencerTimer;
    session::BoundedText m_idleTerminal;  // shown before the first session

    session::SessionMode m_mode = session::SessionMode::Stopped;
    // The kind of run the dialogue serves: set at each session start and left alone by "停止",
    // which ends the run after the device being served but must not cut its dialogue short.
    session::SessionMode m_dialogueMode = session::SessionMode::Stopped;
    int m_sessionRow = -1;
    int m_servedRecord = -1;         // the ListStore line of the device being served, at its start
    fleet::RecordIdentity m_target;  // where its result goes
    devlist::DeviceRecord m_loaded;  // its record as the session started, to tell what it read
    // When the device being served started and ended, for the run's report.
    platform::LocalTime m_startTime;
    std::filesystem::file_time_type m_startFileTime;
    uint32_t m_startTick = 0;
    uint32_t m_endTick = 0;
    long long m_port = 0;
    BulkReport m_report;
    int m_okCount = 0;
    int m_ngCount = 0;
    // A bulk run serves the records checked when it started, each once, in list order.
    std::vector<int> m_runRecords;
    size_t m_runNext = 0;
    // Changes with every session start: a wait compares it to find out whether the world moved.
    uint64_t m_generation = 0;
};

}  // namespace shell
