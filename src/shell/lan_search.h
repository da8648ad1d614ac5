// The LAN search ("LAN上 検索" of the list-edit panel) as the window runs the core's search run:
// the window's questions, warnings and log lines, and the replies merged into the working list
// at the end. Replies are collected whenever the endpoint is open, also after a search; only the
// next search merges them, after emptying both stores.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "fleet/lan_search_run.h"
#include "platform/dialogs.h"
#include "platform/event_loop.h"
#include "platform/host_address.h"
#include "platform/udp_socket.h"
#include "shell/window_state.h"

namespace shell {

class LanSearch {
public:
    struct Hooks {
        std::function<void(const std::string&)> logMessage;  // a communication-log line
        std::function<void()> stateChanged;                  // the window should show the state
        std::function<void()> showWorkingList;  // redraw the list view from ViewStore, unfiltered
    };

    LanSearch(WindowState& state, platform::EventLoop& loop, platform::Dialogs& dialogs,
              platform::UdpFactory& udp, platform::HostAddress& host, Hooks hooks);
    ~LanSearch();

    // An address the search takes as the PC's own instead of asking the host (for a PC with
    // several networks, or one whose host name resolves to loopback). Empty: ask the host.
    void setOwnAddress(std::string address) { m_ownAddress = std::move(address); }
    const std::string& ownAddress() const { return m_ownAddress; }

    // Starts the search; its passes and the replies' time go on by a timer, and the replies
    // are merged when it is over. Refused while the working list holds edits not yet applied.
    // When the operator leaves list editing during the waits, nothing is merged.
    void run();
    bool running() const { return m_run.running(); }

private:
    fleet::LanSearchRun::Hooks runHooks();
    std::optional<std::string> findOwnAddress();
    void merge();
    void finish(bool complete);
    void warn(const std::string& text);
    void notify();
    void log(const std::string& line);

    WindowState& m_state;
    platform::Dialogs& m_dialogs;
    platform::HostAddress& m_host;
    Hooks m_hooks;
    std::string m_ownAddress;
    bool m_loopbackLogged = false;
    uint64_t m_listEditVisit = 0;  // the list-edit visit the running search belongs to
    fleet::LanSearchRun m_run;     // last: its timers and port call into the members above
};

}  // namespace shell
