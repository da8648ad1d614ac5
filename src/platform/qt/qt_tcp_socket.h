// The device connection on QTcpSocket. Every notification is posted to the event loop instead of
// being raised inside Qt's own signal: the session waits inside its read handler, and Qt neither
// emits readyRead again while a slot connected to it runs nor re-reads what arrived meanwhile.
#pragma once

#include <functional>
#include <memory>

#include "platform/tcp_socket.h"

class QTcpSocket;

namespace platform::qt {

// How long a closed connection may take to hand what was written to a device that reads slowly
// or not at all; then it is cut off.
constexpr int kCloseDrainMs = 2000;

class QtTcpSocket : public TcpSocket {
public:
    QtTcpSocket();
    ~QtTcpSocket() override;
    void setHandlers(Handlers handlers) override;
    bool open(const std::string& host, uint16_t port) override;
    void close() override;
    void send(std::string_view bytes) override;
    std::string receive() override;

private:
    void wire();
    void post(std::function<void()> notify);
    void notifyReadable();
    static void call(const std::function<void()>& handler);

    std::unique_ptr<QTcpSocket> m_socket;
    Handlers m_handlers;
    bool m_readablePending = false;
    // Shared with the queued notifications: they must not run once this object is gone, and
    // the object must not delete the QTcpSocket that is delivering one of them.
    struct Dispatch {
        bool alive = true;
        int depth = 0;  // notifications being delivered now
    };
    std::shared_ptr<Dispatch> m_dispatch = std::make_shared<Dispatch>();
};

class QtNetwork : public Network {
public:
    std::unique_ptr<TcpSocket> createTcpSocket() override;
};

}  // namespace platform::qt
