// What every verb runs on, built once by the program's main: the event loop, the network, the
// search endpoint, the PC's address, the clock and the terminal, and the way the verb waits on
// the loop with the operator's interrupts. The verbs never make their own; tests hand them fakes.
#pragma once

#include <functional>

#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/host_address.h"
#include "platform/tcp_socket.h"
#include "platform/udp_socket.h"
#include "runner/terminal.h"

namespace runner {

// How a verb waits for its work on the loop.
class Serving {
public:
    virtual ~Serving() = default;
    // Dispatches the loop's events until done() holds. Each interrupt of the operator (Ctrl-C
    // and its kin) calls onInterrupt on the loop, while the wait lasts and after it: a signal may
    // still come while the verb writes its files.
    virtual void serve(const std::function<bool()>& done, std::function<void()> onInterrupt) = 0;
    // done() may hold now: the wait looks again.
    virtual void wake() = 0;
};

struct Context {
    platform::EventLoop& loop;
    platform::Network& network;
    platform::UdpFactory& udp;
    platform::HostAddress& host;
    platform::Clock& clock;
    Terminal& terminal;
    Serving& serving;
};

}  // namespace runner
