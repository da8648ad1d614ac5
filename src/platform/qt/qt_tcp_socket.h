// The device connection on QTcpSocket. Every notification is posted to the event loop instead of
// being raised inside Qt's own signal: the session waits inside its read handler, and Qt neither
// emits readyRead again while a slot connected to it runs nor re-reads what arrived meanwhile.
#pragma once

#include <memory>

#include "platform/tcp_socket.h"

class QTcpSocket;

namespace platform::qt {

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
    void post(void (QtTcpSocket::*notify)());
    void notifyReadable();
    void notifyConnecting();

    std::unique_ptr<QTcpSocket> m_socket;
    Handlers m_handlers;
    bool m_readablePending = false;
};

class QtNetwork : public Network {
public:
    std::unique_ptr<TcpSocket> createTcpSocket() override;
};

}  // namespace platform::qt
