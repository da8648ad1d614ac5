// A simulated device on a fake connection: the simulator's own dialogue, its writes timed as the
// simulator's server times them, in order, each after the one before it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dialogue.h"
#include "fake_event_loop.h"
#include "fake_tcp_socket.h"

namespace testsupport {

// Chunks (ms after the connection opened) a device sends in front of the dialogue's own, which is
// then past its login.
using LoginScript = std::vector<std::pair<uint32_t, std::string>>;

// Answers conn, just opened, as device does from now on.
inline void PlayDevice(FakeEventLoop& loop, FakeConnection& conn, devsim::DeviceState& device,
                       const LoginScript& script = {}) {
    auto dialogue = std::make_shared<devsim::Dialogue>(device);
    auto due = std::make_shared<uint32_t>(0);
    auto play = [&loop, due](FakeConnection& c, std::vector<devsim::Write> writes) {
        for (auto& w : writes) {
            *due = std::max(*due, loop.tickCount()) + static_cast<uint32_t>(w.delayMs);
            if (!w.flood) c.deliverAt(*due, std::move(w.bytes));
        }
    };
    auto first = dialogue->start();
    if (script.empty()) play(conn, std::move(first));
    for (const auto& [at, chunk] : script) conn.deliverAt(loop.tickCount() + at, chunk);
    conn.onSend = [dialogue, play](FakeConnection& c, std::string_view bytes) {
        play(c, dialogue->receive(bytes));
    };
}

}  // namespace testsupport
