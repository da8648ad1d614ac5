// The search endpoint as the cores see it: a UDP socket bound to a local port that may send
// to a directed broadcast address. Arriving datagrams are delivered one at a time by a posted
// notification on the event thread, never inside a send, open or close, so the receiver may
// close or reopen the socket.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

struct Datagram {
    std::string bytes;
    std::string fromAddress;  // dotted decimal
    uint16_t fromPort = 0;
};

class UdpSocket {
public:
    enum class SendResult { Sent, InvalidHost };

    virtual ~UdpSocket() = default;
    virtual void setReceiver(std::function<void(const Datagram&)> receiver) = 0;
    // Closes any socket held, then binds a new one to 0.0.0.0:localPort with sending to
    // broadcast addresses allowed. False when the port cannot be bound (another program may
    // hold it); the endpoint is then closed. Datagrams not yet delivered are dropped.
    virtual bool open(uint16_t localPort) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Sends bytes to host (a dotted address or a name looked up on the spot). InvalidHost when
    // the host is neither; whether a datagram went out is not known otherwise.
    virtual SendResult sendTo(const std::string& host, uint16_t port, std::string_view bytes) = 0;
};

class UdpFactory {
public:
    virtual ~UdpFactory() = default;
    virtual std::unique_ptr<UdpSocket> createUdpSocket() = 0;
};

}  // namespace platform
