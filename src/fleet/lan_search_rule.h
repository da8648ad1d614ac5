// The LAN search as both front ends run it: the address taken as the PC's own, and the passes
// (four search requests 200 ms apart, then one more second for the replies). The passes go on
// by a timer: nothing waits inside a handler, so replies are taken as they come.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/event_loop.h"

namespace fleet {

constexpr int kSearchPasses = 4;
constexpr uint32_t kSearchPassPauseMs = 200;
constexpr uint32_t kSearchReplyWaitMs = 1000;

enum class OwnAddressFrom { CommandLine, Settings, Host, Nowhere };

struct OwnAddress {
    std::string address;  // empty: none
    OwnAddressFrom from = OwnAddressFrom::Nowhere;
    // The settings file's "ownip" was looked at and holds no dotted IPv4 address.
    bool settingsIgnored = false;
};

// The address the search takes as the PC's own: the command line's, else the settings file's
// "ownip" when it is a dotted IPv4 address (it is written by hand), else the host's. The host is
// asked only when it comes to that; a front end that gives no host gets Nowhere then.
OwnAddress ChooseOwnAddress(const std::string& commandLine, const std::string& settings,
                            const std::function<std::optional<std::string>()>& host);

class SearchPasses {
public:
    // pass sends one request; false ends the search at once (it has said why). done(true) comes
    // once the replies' time is over, done(false) after a failed pass.
    SearchPasses(platform::EventLoop& loop, std::function<bool()> pass,
                 std::function<void(bool)> done);
    SearchPasses(const SearchPasses&) = delete;
    SearchPasses& operator=(const SearchPasses&) = delete;

    // The first pass now, the others by the timer; nothing while running.
    void start();
    bool running() const { return m_running; }

private:
    void next();

    std::function<bool()> m_pass;
    std::function<void(bool)> m_done;
    std::unique_ptr<platform::Timer> m_timer;
    int m_sent = 0;
    bool m_running = false;
};

}  // namespace fleet
