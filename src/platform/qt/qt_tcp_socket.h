// The device connection on QTcpSocket, unbuffered: each notification reads once what the system
// holds and hands it to the handler at once. A handler may still wait (a modal question), and Qt
// does not emit readyRead while a slot connected to it runs: data that arrives while a handler of
// this socket runs is therefore posted, and delivered inside that wait as a chunk of its own.
#pragma once

#include <functional>
#include <memory>
#include <string>

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
    void onReadyRead();
    void notifyReadable();
    bool readPending();
    static void call(const std::function<void()>& handler);

    std::unique_ptr<QTcpSocket> m_socket;
    Handlers m_handlers;
    bool m_readablePending = false;
    // Read from the system and not yet taken by receive(), bounded.
    std::string m_chunk;
    std::unique_ptr<char[]> m_readBuffer;
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
