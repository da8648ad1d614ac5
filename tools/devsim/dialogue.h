// One connection's side of the device dialogue, without sockets: bytes in, timed writes out.
// Every answer goes out in one write, so the program normally reads it as one chunk; the faults
// of the device reshape the answers (delays, small pieces, a split marker, a repeated prompt).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "options.h"

namespace devsim {

struct Write {
    int delayMs = 0;  // after the previous write, or from now for the first of a batch
    std::string bytes;
    bool flood = false;  // endless text without marker instead of bytes, bounded by the faults
    bool close = false;  // end the connection once this write is out
};

// A device's variables, shared by all its connections, so a second dump shows what a first
// connection changed.
class DeviceState {
public:
    explicit DeviceState(DeviceConfig config);
    const DeviceConfig& config() const { return m_config; }
    std::string get(std::string_view name) const;
    void set(std::string_view name, std::string value);
    void unset(std::string_view name);
    // The answer to "&save" up to and including "LOAD_END".
    std::string dump() const;

private:
    DeviceConfig m_config;
    std::vector<std::pair<std::string, std::string>> m_vars;
};

class Dialogue {
public:
    explicit Dialogue(DeviceState& device) : m_device(device) {}
    std::vector<Write> start();
    std::vector<Write> receive(std::string_view bytes);
    bool closed() const { return m_state == State::Closed; }

private:
    enum class State { Banner, User, Password, Command, Closed };

    void line(const std::string& text, std::vector<Write>& out);
    void command(const std::string& text, std::vector<Write>& out);
    void answer(std::string text, std::vector<Write>& out, bool close = false);
    void closeNow(std::vector<Write>& out);
    bool closesAt(std::string_view what) const;

    DeviceState& m_device;
    State m_state = State::Banner;
    std::string m_line;
    bool m_afterCr = false;
    std::string m_user;
};

// The answer to "log N": N log lines and the closing line of dashes.
std::string logText(int lines);

}  // namespace devsim
