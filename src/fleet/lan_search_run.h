// One LAN search as both front ends run it: four passes 200 ms apart, each sending a search
// request from the PC's own address to its network's broadcast address, then one more second for
// the replies, which are collected into the two stores as they come. The passes go on by the
// loop's timer: nothing waits inside a handler. What a front end says about it (dialogues, log
// lines, printed lines) comes through its hooks; the merge into a list follows the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "devlist/line_store.h"
#include "discovery/registration.h"
#include "platform/event_loop.h"
#include "platform/udp_socket.h"

namespace fleet {

constexpr int kSearchPasses = 4;
constexpr uint32_t kSearchPassPauseMs = 200;
constexpr uint32_t kSearchReplyWaitMs = 1000;

class LanSearchRun {
public:
    // The window binds the reply port anew before each pass and again before its send; the
    // runner binds it once, so no reply waiting for delivery is dropped between passes.
    enum class Port { RebindAtEachPass, BindOnce };

    struct Hooks {
        // Required: the address this pass takes as the PC's own; nullopt ends the search (it has
        // said why).
        std::function<std::optional<std::string>()> ownAddress;
        // A pass sends its request from the own address to the target.
        std::function<void(const std::string& own, const std::string& target)> sending;
        // The target refused the request: the host to send it to once more (nullopt: the same).
        // None: the pass goes on without it.
        std::function<std::optional<std::string>(const std::string& target)> otherHost;
        // The other host refused it too; the search ends.
        std::function<void()> refused;
        // The reply port cannot be bound; the search ends.
        std::function<void()> portRefused;
        // A datagram arrived; accepted: it was a search reply.
        std::function<void(const platform::Datagram&, bool accepted)> received;
        // The first reply of this search that a store's bound dropped.
        std::function<void()> dropping;
        // true once the replies' time is over; false after a pass that ended the search. The
        // run counts as running until it returns.
        std::function<void(bool complete)> done;
    };

    // The stores are the caller's (the window shows and edits them); the run appends to them.
    LanSearchRun(platform::EventLoop& loop, platform::UdpFactory& udp, Port port,
                 devlist::LineStore& replyStore, devlist::LineStore& regStore, Hooks hooks);
    ~LanSearchRun();
    LanSearchRun(const LanSearchRun&) = delete;
    LanSearchRun& operator=(const LanSearchRun&) = delete;

    // Empties both stores and starts the passes; nothing while running. The port stays bound
    // after the search, and what arrives then is collected too, until close().
    void start();
    bool running() const { return m_running; }
    void close();

    // Datagrams received since this search began.
    size_t replies() const { return m_replies; }
    // The collection merged into a list.
    discovery::MergeResult merge(devlist::LineStore list) const;

private:
    void next();
    void end(bool complete);
    bool pass();
    bool send(const std::string& own);
    bool bind();
    void onDatagram(const platform::Datagram& d);

    platform::UdpFactory& m_udp;
    Port m_port;
    devlist::LineStore& m_replyStore;
    devlist::LineStore& m_regStore;
    Hooks m_hooks;
    std::unique_ptr<platform::UdpSocket> m_socket;  // made at the first search, then kept
    discovery::ReplyCollector m_collector;
    std::unique_ptr<platform::Timer> m_timer;
    int m_sent = 0;
    bool m_running = false;
    size_t m_replies = 0;
    bool m_dropSaid = false;
};

}  // namespace fleet
