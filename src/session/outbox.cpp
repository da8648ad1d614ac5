#include "session/outbox.h"

namespace session {

void Outbox::close() {
    m_closed = true;
    m_gathering = false;
    m_gathered.clear();
    m_window.dropHeld();
    m_socket.close();
}

// The echo line keeps the CR of the command, as the dump headers keep theirs: such lines end
// CR CR LF in every file the session writes.
void Outbox::command(const std::string& command) {
    m_lastCommand = command;
    if (m_closed) return;
    m_window.reply().expect(command);
    transmit(command + "\r", "[" + command + "]\r", ChangesDevice(command));
}

void Outbox::bareCr() {
    m_lastCommand.clear();
    if (m_closed) return;
    m_window.reply().expect({});
    transmit("\r", "[CR]", false);
}

void Outbox::raw(const std::string& bytes, bool changesDevice) {
    if (m_closed) return;
    m_window.reply().expect({});
    transmit(bytes, {}, changesDevice);
}

// At the prompt pace what a send changes in the device waits for the end of the 200 ms after the
// login, and whatever is sent after it waits behind it, so the device gets everything in order.
// A check is not held back: it changes no setting, and its clock commands are the check's own.
// The terminal shows a send when it goes out, never before.
void Outbox::transmit(std::string bytes, std::string echo, bool changesDevice) {
    if (m_window.mustHold(changesDevice, IsSendMode(m_mode))) {
        m_window.hold(std::move(bytes), std::move(echo));
        return;
    }
    put(bytes);
    if (!echo.empty()) m_terminal.append(echo);
}

void Outbox::put(const std::string& bytes) {
    if (m_gathering)
        m_gathered += bytes;
    else
        m_socket.send(bytes);
}

void Outbox::flush() {
    m_gathering = false;
    if (!m_closed && !m_gathered.empty()) m_socket.send(m_gathered);
    m_gathered.clear();
}

void Outbox::sendHeld() {
    if (m_closed) return;
    gather();
    for (const HeldSend& h : m_window.takeHeld()) {
        put(h.bytes);
        if (!h.echo.empty()) m_terminal.append(h.echo);
    }
    flush();
}

}  // namespace session
