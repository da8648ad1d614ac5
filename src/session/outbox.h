// What a session sends its device, and the line the terminal shows for each send when it goes
// out. At the prompt pace a send waits while the login window says so; once the session has
// closed its connection, nothing goes out and nothing is shown as sent.
#pragma once

#include <string>

#include "platform/tcp_socket.h"
#include "session/bounded_text.h"
#include "session/prompt_pace.h"
#include "session/session_state.h"

namespace session {

class Outbox {
public:
    // mode is the run's, as it is now.
    Outbox(platform::TcpSocket& socket, BoundedText& terminal, LoginWindow& window,
           const SessionMode& mode)
        : m_socket(socket), m_terminal(terminal), m_window(window), m_mode(mode) {}

    // A new session: sends go out again.
    void open() { m_closed = false; }
    // Closes the connection; what waits is dropped.
    void close();
    bool closed() const { return m_closed; }
    // The command sent last; empty after a bare CR.
    const std::string& lastCommand() const { return m_lastCommand; }

    void command(const std::string& command);
    void bareCr();
    // What is sent from gather() to flush() goes to the system as one write: a step's commands
    // reach the device as one piece, byte for byte what they would be one by one.
    void gather() { m_gathering = true; }
    void flush();
    void raw(const std::string& bytes, bool changesDevice = false);
    // What waited for the end of the window, in the order sent.
    void sendHeld();

private:
    void transmit(std::string bytes, std::string echo, bool changesDevice);
    void put(const std::string& bytes);

    platform::TcpSocket& m_socket;
    BoundedText& m_terminal;
    LoginWindow& m_window;
    const SessionMode& m_mode;
    bool m_closed = false;
    bool m_gathering = false;
    std::string m_gathered;
    std::string m_lastCommand;
};

}  // namespace session
