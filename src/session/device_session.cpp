// The dialogue runs on each received chunk. Markers are matched inside one chunk only: the
// device's text follows no message boundary, and a marker split over two chunks is simply not
// seen (the session then ends by its time-out). The login pause is a timer, not a wait: a chunk
// never waits inside its handler, so a device that talks without end cannot deepen the stack.
// A file saved off the loop is a wait of its own: the step that follows it runs when its result
// comes back, the chunks that come meanwhile are handled after it in the order they came (with
// the login window as it was when they came), the time-out keeps running and the session's end
// waits for the save. One place still lets other handlers run in the middle of a chunk, the error
// box of a file that cannot be written; after it this object may be gone, so the alive token is
// checked before any member is touched.
#include "session/device_session.h"

#include "devlist/fields.h"
#include "session/closing_commands.h"
#include "session/result_record.h"
#include "text/cp932.h"

namespace session {
namespace {

bool contains(std::string_view chunk, std::string_view marker) {
    return chunk.find(marker) != std::string_view::npos;
}

constexpr std::string_view kPrompt = "> ";
constexpr size_t kLog20TailBytes = 34;  // the "----" line as far as the log needs it

}  // namespace

DeviceSession::DeviceSession(SessionContext context, std::unique_ptr<platform::TcpSocket> socket)
    : m_ctx(std::move(context)),
      m_socket(std::move(socket)),
      m_timeout(m_ctx.loop.createTimer()),
      m_window(m_ctx.loop, m_ctx.pace),
      m_deviceLog(m_ctx.textCapBytes, m_ctx.textPool),
      m_terminal(m_ctx.textCapBytes, m_ctx.textPool),
      m_files(m_ctx),
      m_out(*m_socket, m_terminal, m_window, m_ctx.mode) {
    m_timeout->setCallback([this] { onTimeout(); });
    m_window.onPauseEnd([this] { onLoginPauseEnd(); });
    platform::TcpSocket::Handlers h;
    h.connecting = [this] { onConnecting(); };
    h.readable = [this] { onReadable(); };
    // No error of the connection is ever reported: a session that cannot connect, or whose
    // connection breaks, ends by its time-out.
    h.error = [](int& code) { code = 0; };
    m_socket->setHandlers(std::move(h));
}

DeviceSession::~DeviceSession() {
    *m_alive = false;
    m_timeout->stop();
    m_window.stopPause();
    m_socket->setHandlers({});
    m_socket->close();
}

void DeviceSession::start(const std::string& host, long long port, int rowNumber,
                          devlist::LineStore sendLines, bool resetPending) {
    m_host = host;
    m_rowNumber = rowNumber;
    m_sendStore = std::move(sendLines);
    m_resetPending = resetPending;
    m_writePending = false;
    m_textCut = false;
    m_saving = false;
    m_held.clear();
    m_heldBytes = 0;
    m_readLater = false;
    m_ended = false;
    m_endPending = false;
    m_out.open();
    m_reportedName.clear();
    m_served = m_ctx.panel;
    m_window.reset(m_served.rec);
    m_ctx.log(text::sj("No.") + devlist::ZeroPad(rowNumber, 3) + " (" + host + ") " +
              text::sj("接続中"));
    m_step = SessionStep::Login;
    m_result = kResultPending;
    m_timeout->start(kTimeoutFirstMs);
    bool opened = port >= 0 && port <= 65535 && m_socket->open(host, static_cast<uint16_t>(port));
    if (!opened) m_ctx.log(host + ":" + std::to_string(port) + text::sj(" 接続失敗"));
}

void DeviceSession::close() {
    m_out.close();
}

void DeviceSession::onConnecting() {
    m_terminal.clear();
    m_terminal.append(m_files.header("//--- CONNECT LOG ", m_ctx.panel.rec.listName));
    m_terminal.append("");
    m_ctx.log(text::sj("No.") + devlist::ZeroPad(m_rowNumber, 3) + " (" + m_host + ") Connected");
    changed();
}

// The time-out ends the dialogue with the connection: a device that answers late must not be
// configured under a record that says it timed out. The terminal keeps what came before.
void DeviceSession::onTimeout() {
    m_timeout->stop();
    if (m_ended) return;
    m_result = kResultTimeOut;
    m_window.stopPause();
    m_out.close();
    end();
}

void DeviceSession::onReadable() {
    if (m_out.closed()) return;
    // Login chunks whose pause is over are tested before anything that came after them, as the
    // wait that held them would have returned before handling more; what waited for the pause
    // goes out first.
    if (m_window.pauseActive() && m_window.over()) {
        std::shared_ptr<bool> alive = m_alive;
        onLoginPauseEnd();
        if (!*alive || m_out.closed()) return;
    }
    if (m_saving && m_heldBytes >= kHeldWhileSavingBytes) {
        m_readLater = true;
        return;
    }
    // The one copy of the chunk the session holds; what outlives this handler is bounded.
    std::string chunk = m_socket->receive();
    if (chunk.empty()) return;
    const bool window = m_window.open();
    if (m_saving) {
        m_heldBytes += chunk.size();
        m_held.push_back({std::move(chunk), window});
        return;
    }
    handleChunk(chunk, window);
}

void DeviceSession::handleChunk(const std::string& chunk, bool window) {
    m_terminal.append(chunk);
    m_lastPacket = TextHead(chunk, kLastPacketBytes);
    m_window.reply().take(chunk, window);
    if (m_step != SessionStep::Login && window && !m_window.reply().inReply() &&
        refusedInLoginWindow(chunk)) {
        changed();
        end();
        return;
    }

    bool alive = true;
    switch (m_step) {
        case SessionStep::Idle:
            break;
        case SessionStep::Login:
            handleLogin(chunk);
            break;
        case SessionStep::ReadVersion:
        case SessionStep::ReadMac:
        case SessionStep::ReadName:
            if (m_window.reply().endsReply()) handleValue(chunk);
            break;
        case SessionStep::DumpBefore:
        case SessionStep::DumpAfter:
            alive = handleDump(chunk, m_step == SessionStep::DumpBefore);
            break;
        case SessionStep::StreamSettings:
            if (contains(chunk, kPrompt)) handleStream();
            break;
        case SessionStep::ReadLog20:
            alive = handleLog20(chunk);
            break;
        case SessionStep::SettlePrompt:
            if (contains(chunk, kPrompt)) {
                setResult(kResultOk);
                m_out.bareCr();
                m_step = SessionStep::QuitPrompt;
            }
            break;
        case SessionStep::QuitPrompt:
            if (contains(chunk, kPrompt)) {
                setResult(kResultOk);
                m_out.command(m_resetPending ? "CPURESET" : "q");
                m_step = SessionStep::AwaitClose;
            }
            break;
        case SessionStep::AwaitClose:
            if (contains(chunk, ".")) alive = handleClose();
            break;
    }
    if (!alive) return;
    changed();
    if (m_endPending) end();
}

// A login chunk is tested 200 ms after it came (LoginChunks keeps the order). The waits are not
// nested here: one timer runs to the latest deadline, which is the last of them to pass.
void DeviceSession::handleLogin(const std::string& chunk) {
    LoginTests tests = LoginTests::of(chunk);
    m_window.loginChunk();
    if (m_ctx.pace == Pace::Prompt) {
        runLoginTests(tests);
        return;
    }
    m_window.wait(std::move(tests));
}

void DeviceSession::onLoginPauseEnd() {
    for (const LoginTests& tests : m_window.endPause()) runLoginTests(tests);
    m_out.sendHeld();
    changed();
    if (m_endPending) end();
}

// A refusal in any chunk ends the session, and when several chunks hold one, the earliest
// chunk's, tested last, is the result.
void DeviceSession::runLoginTests(const LoginTests& t) {
    const auto& rec = m_ctx.panel.rec;
    // A later chunk's prompt may already have finished the login: answering this chunk's
    // prompts as well would send "ver" twice, and the second answer would be read as the MAC
    // address.
    const bool answer = m_step == SessionStep::Login;
    const bool answers = answer && (t.ready || t.userId || t.password);
    if (answer) {
        if (t.ready) m_out.raw("\r");
        if (t.userId) m_out.raw(rec.userId + "\r");
        if (t.password) m_out.raw(rec.password + "\r");
    }
    auto refuse = [this](int result) {
        m_out.close();
        setResult(result);
        m_timeout->stop();
        if (!m_ended) m_endPending = true;
    };
    if (t.incorrect) refuse(kResultLoginError);
    if (t.failure) {
        if (!m_ended) m_failureText = t.failureText;
        refuse(kResultFailure);
    }
    if (t.exists) refuse(kResultExists);
    // At the prompt pace a prompt in the chunk just answered came before the answer: the device's
    // reply to the answer is still to come and must not be read as the version, so the login
    // is through only at a later prompt.
    if (answer && t.prompt && !(answers && m_ctx.pace == Pace::Prompt)) {
        m_writePending = false;
        m_timeout->stop();
        m_timeout->start(kTimeoutDialogueMs);
        m_step = SessionStep::ReadVersion;
        m_out.command("ver");
    }
}

// The prompt pace has gone on past the login, but a refusal within its 200 ms ends the session
// as the prescribed pace's pause would have: with the refusal's result, nothing that changes the
// device sent, and none of the values read meanwhile recorded. A reply that repeats its command
// is the device's text (a dump may well say "Firmware:"), not a refusal. True when it refused.
bool DeviceSession::refusedInLoginWindow(const std::string& chunk) {
    if (m_ended) return false;  // a check that is over changed nothing: it stands
    LoginTests t = LoginTests::of(chunk);
    if (!t.incorrect && !t.failure && !t.exists) return false;
    runLoginTests(t);  // past the login step: tests the refusals only
    m_window.restoreStart(m_served.rec);
    return true;
}

// The device's values go into the editor's boxes and into the session's own copy, cut to what
// a record field holds; once the session has ended it takes none any more.
void DeviceSession::handleValue(const std::string& chunk) {
    auto take = [this](std::string devlist::DeviceRecord::*box, std::string value) {
        if (m_ended) return;
        m_served.rec.*box = value;
        m_ctx.panel.rec.*box = std::move(value);
    };
    using R = devlist::DeviceRecord;
    switch (m_step) {
        case SessionStep::ReadVersion:
            take(&R::modelVersion, RecordValue(ReplyValue(chunk, 4, 0), kVersionBytes));
            m_out.command("?ifPhysAddress");
            m_step = SessionStep::ReadMac;
            break;
        case SessionStep::ReadMac:
            take(&R::macAddress, RecordValue(ReplyValue(chunk, 15, 0), kMacBytes));
            if (!m_ended) m_files.nameFromDevice(m_served);
            m_deviceLog.clear();
            m_out.command("?sysName");
            m_step = SessionStep::ReadName;
            break;
        default: {
            std::string name = ReplyValue(chunk, 10, 1);
            take(&R::deviceName, RecordValue(name, kNameBytes));
            m_reportedName = TextHead(name, kLastPacketBytes);
            m_deviceLog.clear();
            SessionMode mode = m_ctx.mode;
            m_step = IsCheckMode(mode)  ? SessionStep::DumpAfter
                     : IsSendMode(mode) ? SessionStep::DumpBefore
                                        : SessionStep::Idle;
            m_out.command("&save");
            break;
        }
    }
}

bool DeviceSession::handleDump(const std::string& chunk, bool before) {
    size_t at = chunk.find("LOAD_END");
    if (at == std::string::npos) {
        m_deviceLog.append(chunk);
        return true;
    }
    // Idle first, so that a file that cannot be written leaves the dialogue idle.
    m_step = SessionStep::Idle;
    // The command's echo; when the log was cut it went with the head, and neither removal takes
    // a line of the dump.
    m_deviceLog.removeFirst();
    m_deviceLog.removeFirst();
    // The dump without the line break in front of the marker.
    m_deviceLog.append(std::string_view(chunk).substr(0, at > 2 ? at - 2 : 0));
    m_deviceLog.insertTop(
        m_files.header(before ? "//--- LOAD DATA " : "//--- SEND DATA ", m_ctx.panel.rec.listName) +
        "\r");
    std::shared_ptr<bool> alive = m_alive;
    return saveText(m_files.dumpName(before), m_deviceLog,
                    before ? &DeviceSession::dumpBeforeSaved : &DeviceSession::dumpAfterSaved) ||
           *alive;
}

void DeviceSession::dumpSaved(bool before) {
    // A dump cut for memory is never kept as if it were whole.
    if (!m_deviceLog.headCut()) m_dumps[before ? 0 : 1] = m_deviceLog.bytes();
    if (before) {
        m_linesLeft = static_cast<int>(m_sendStore.size());
        m_out.bareCr();
        m_step = SessionStep::StreamSettings;
    } else {
        setResult(kResultOk);
        m_deviceLog.clear();
        m_out.command("log 20");
        m_step = SessionStep::ReadLog20;
    }
}

void DeviceSession::handleStream() {
    if (m_linesLeft > 0) {
        size_t index = m_sendStore.size() - static_cast<size_t>(m_linesLeft);
        m_out.raw(m_sendStore[index] + "\r", true);
        --m_linesLeft;
        return;
    }
    m_deviceLog.clear();
    m_out.command("&save");
    m_step = SessionStep::DumpAfter;
}

bool DeviceSession::handleLog20(const std::string& chunk) {
    size_t at = chunk.find("----");
    if (at == std::string::npos) {
        m_deviceLog.append(chunk);
        return true;
    }
    m_step = SessionStep::Idle;
    m_deviceLog.append(std::string_view(chunk).substr(0, at + kLog20TailBytes));
    m_deviceLog.insertTop(m_files.header("//--- LOG 20 DATA ", m_ctx.panel.saveName));
    std::shared_ptr<bool> alive = m_alive;
    return saveText(m_files.log20Name(), m_deviceLog, &DeviceSession::log20Saved) || *alive;
}

void DeviceSession::log20Saved() {
    m_step = SessionStep::SettlePrompt;
    setResult(kResultOk);

    const ClosingCommands closing =
        ClosingCommandsOf(m_ctx.options, m_ctx.mode, m_ctx.panel.rec, m_reportedName, m_ctx.clock);
    if (closing.write) m_writePending = true;
    if (closing.cpuReset) m_resetPending = true;
    m_out.gather();
    for (const std::string& command : closing.commands) m_out.command(command);
    m_out.bareCr();
    m_out.flush();
}

bool DeviceSession::handleClose() {
    m_step = SessionStep::Idle;
    std::shared_ptr<bool> alive = m_alive;
    return saveText(m_files.commLogName(), m_terminal, &DeviceSession::commLogSaved) || *alive;
}

void DeviceSession::commLogSaved() {
    // The connection stays open: the device closes it after "q" or "CPURESET".
    m_timeout->stop();
    if (!m_ended) m_endPending = true;
}

void DeviceSession::setResult(int result) {
    if (m_ended) return;
    m_result = result == kResultOk && m_textCut ? kResultTextCut : result;
}

// onEnded is the last thing done: its receiver may start work that outlives this object.
void DeviceSession::end() {
    if (m_saving) {
        if (!m_ended) m_endPending = true;
        return;
    }
    m_endPending = false;
    if (m_ended) return;
    m_ended = true;
    m_timeout->stop();
    if (m_ctx.onEnded) m_ctx.onEnded();
}

void DeviceSession::changed() {
    if (m_ctx.onChanged) m_ctx.onChanged();
}

}  // namespace session
