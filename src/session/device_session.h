// One device's session: the connection, the dialogue's step machine on the chunks it receives,
// the four files it writes into the work folder and its time-out. It reads the record's boxes
// and the options through references, at the moment the dialogue needs them, so the window
// (or a runner without one) keeps owning them. One object per device; nothing is global.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devlist/edit_panel.h"
#include "devlist/line_store.h"
#include "platform/event_loop.h"
#include "platform/tcp_socket.h"
#include "session/bounded_text.h"
#include "session/login_chunks.h"
#include "session/outbox.h"
#include "session/prompt_pace.h"
#include "session/session_context.h"
#include "session/session_files.h"
#include "session/session_state.h"

namespace session {

constexpr uint32_t kTimeoutFirstMs = 5000;
constexpr uint32_t kTimeoutDialogueMs = 10000;
// What the last packet keeps of a chunk: its head, cut at a character boundary.
constexpr size_t kLastPacketBytes = 4096;
// What the session takes from the connection while a save is pending, at most; the rest waits
// in the connection until the save is done.
constexpr size_t kHeldWhileSavingBytes = size_t{256} << 10;

class DeviceSession {
public:
    DeviceSession(SessionContext context, std::unique_ptr<platform::TcpSocket> socket);
    // Closes the connection; notifications still queued for it are dropped.
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // Starts the connection towards host:port. rowNumber is the 1-based row shown in the log
    // lines; sendLines are streamed in send mode.
    void start(const std::string& host, long long port, int rowNumber, devlist::LineStore sendLines,
               bool resetPending);
    void close();
    // "↑CLS": the operator empties the terminal; later output starts from the top.
    void clearTerminal() { m_terminal.clear(); }
    // Once its result is taken: hands the terminal text over and lets go of the device log, so
    // a session kept open through its pause holds no more than what arrives late.
    std::string releaseTexts() {
        m_deviceLog.take();
        return m_terminal.take();
    }

    SessionStep step() const { return m_step; }
    // SessionResult; it no longer changes once the session has ended.
    int result() const { return m_result; }
    bool ended() const { return m_ended; }
    const std::string& failureText() const { return m_failureText; }
    const std::string& lastCommand() const { return m_out.lastCommand(); }
    int linesLeft() const { return m_linesLeft; }
    bool resetPending() const { return m_resetPending; }
    void clearResetPending() { m_resetPending = false; }
    bool writePending() const { return m_writePending; }
    bool timeoutActive() const { return m_timeout->isActive(); }
    // A file is being saved off the loop: the dialogue's next step waits for its result, and so
    // does the session's end.
    bool savePending() const { return m_saving; }
    const devlist::LineStore& sendStore() const { return m_sendStore; }
    const BoundedText& terminal() const { return m_terminal; }
    const BoundedText& deviceLog() const { return m_deviceLog; }
    const std::string& lastPacket() const { return m_lastPacket; }
    // The session's own copy of the record it serves: the boxes as they were at start, with
    // the values the device reported while the session ran. This, not whatever the editor
    // holds by then, is what the result is recorded from.
    const devlist::EditPanel& served() const { return m_served; }
    // The work-folder files this session wrote, in the order written: what a report says it
    // left, whatever the folder holds by the time the report is made.
    const std::vector<std::string>& savedFiles() const { return m_files.saved(); }
    // A dump the session saved whole, handed over once (the settings history keeps it);
    // empty when it saved none. before: a send's dump before its settings.
    std::string takeDump(bool before) { return std::move(m_dumps[before ? 0 : 1]); }
    // The file whose save ended the session (result kResultSaveFailed); nullopt otherwise.
    const std::optional<SaveFailure>& saveFailure() const { return m_files.failure(); }
    // A login chunk's 200 ms pause is running; its tests run when it ends. At the prompt pace:
    // sends that change the device wait for it.
    bool loginPauseActive() const { return m_window.pauseActive(); }
    // Login chunks whose tests wait for their pause.
    size_t pendingLoginChunks() const { return m_window.waitingChunks(); }

private:
    void onConnecting();
    void onReadable();
    void onTimeout();
    void onLoginPauseEnd();
    // window: whether the login window was open when the chunk came.
    void handleChunk(const std::string& chunk, bool window);

    void handleLogin(const std::string& chunk);
    void runLoginTests(const LoginTests& tests);
    bool refusedInLoginWindow(const std::string& chunk);
    // Each returns false when the session object is gone (a modal box let other handlers
    // run); the caller must then return without touching any member.
    bool handleDump(const std::string& chunk, bool before);
    bool handleLog20(const std::string& chunk);
    bool handleClose();
    void handleValue(const std::string& chunk);
    void handleStream();
    // What follows a save that went well.
    using Then = void (DeviceSession::*)();
    bool saveText(const std::string& name, const BoundedText& text, Then then);
    bool saveFailed(const SaveFailure& failure);
    void saved(const std::optional<SaveFailure>& failure, Then then);
    void dumpBeforeSaved() { dumpSaved(true); }
    void dumpAfterSaved() { dumpSaved(false); }
    void dumpSaved(bool before);
    void log20Saved();
    void commLogSaved();

    void setResult(int result);
    void end();
    void changed();

    SessionContext m_ctx;
    std::unique_ptr<platform::TcpSocket> m_socket;
    std::unique_ptr<platform::Timer> m_timeout;
    LoginWindow m_window;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);

    SessionStep m_step = SessionStep::Idle;
    int m_result = kResultPending;
    bool m_ended = false;
    bool m_endPending = false;
    std::string m_failureText;
    int m_linesLeft = 0;
    bool m_resetPending = false;
    bool m_writePending = false;
    bool m_textCut = false;  // a file of this session holds a cut text
    bool m_saving = false;
    // What came while a save was pending, handled in order once it is done.
    struct HeldChunk {
        std::string bytes;
        bool window = false;
    };
    std::deque<HeldChunk> m_held;
    size_t m_heldBytes = 0;
    bool m_readLater = false;  // the connection holds more than was taken
    devlist::LineStore m_sendStore;
    BoundedText m_deviceLog;
    BoundedText m_terminal;
    std::string m_lastPacket;
    // The name as the device reported it: ".sysName=" repeats it; the record keeps a cut copy.
    std::string m_reportedName;
    SessionFiles m_files;
    std::string m_dumps[2];  // before, after
    Outbox m_out;            // after everything it sends through
    devlist::EditPanel m_served;
    std::string m_host;
    int m_rowNumber = 0;
};

}  // namespace session
