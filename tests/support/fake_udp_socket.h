// UDP endpoints on a fake network: nothing leaves the process. Sends are recorded (and may be
// answered by a simulated device through onSend); a datagram sent to a port is handed, at its
// virtual arrival time, to the socket bound to that port then, as the real endpoint would
// deliver it, and is lost when none is bound.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "fake_event_loop.h"
#include "platform/udp_socket.h"

namespace testsupport {

class FakeUdpSocket;

class FakeUdpNetwork : public platform::UdpFactory {
public:
    explicit FakeUdpNetwork(FakeEventLoop& loop) : m_loop(loop) {}
    ~FakeUdpNetwork() override;

    std::unique_ptr<platform::UdpSocket> createUdpSocket() override;

    struct Sent {
        std::string host;  // as resolved: a name is replaced by its address
        uint16_t port = 0;
        std::string bytes;
        uint16_t fromPort = 0;
        uint32_t atMs = 0;
    };
    std::vector<Sent> sent;
    std::vector<uint16_t> opened;  // the local port of every open, in order
    // Ports another program holds: binding them fails.
    std::set<uint16_t> heldPorts;
    // Host names that resolve; a dotted address with four parts 0..255 always does.
    std::map<std::string, std::string> names;
    // Called for every datagram sent, after it is recorded.
    std::function<void(const Sent&)> onSend;

    // A datagram arriving for local port toPort delayMs from now.
    void deliver(uint16_t toPort, platform::Datagram datagram, uint32_t delayMs = 0);

private:
    friend class FakeUdpSocket;
    FakeEventLoop& m_loop;
    std::vector<FakeUdpSocket*> m_sockets;
};

}  // namespace testsupport
