// The device connection as the session sees it: a non-blocking TCP client whose notifications
// arrive on the event thread. The readable notification is never raised inside a send, open or
// close: its handler may wait (Delay) and may destroy the socket, and data that arrives meanwhile
// comes as a notification of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

class TcpSocket {
public:
    struct Handlers {
        // The connection attempt has started: the host was resolved.
        std::function<void()> connecting;
        // Data has arrived; receive() returns it.
        std::function<void()> readable;
        // An asynchronous operation failed (lookup, connect, send, receive). The handler may
        // clear the code; the failed operation is abandoned either way.
        std::function<void(int& code)> error;
    };

    virtual ~TcpSocket() = default;
    virtual void setHandlers(Handlers handlers) = 0;
    // Starts an asynchronous attempt towards host (a dotted address or a name) and returns at
    // once. False when the attempt could not even be started.
    virtual bool open(const std::string& host, uint16_t port) = 0;
    // Closes the connection if one is open; pending notifications of it are dropped. What was
    // sent before still reaches the device (a transcript shows it as sent), within a bound.
    virtual void close() = 0;
    // Sends every byte on the open connection; does nothing when none is open.
    virtual void send(std::string_view bytes) = 0;
    // Every byte pending on the connection, as one chunk (empty when nothing is pending).
    virtual std::string receive() = 0;
};

// Makes the sockets: one per device session.
class Network {
public:
    virtual ~Network() = default;
    virtual std::unique_ptr<TcpSocket> createTcpSocket() = 0;
};

}  // namespace platform
