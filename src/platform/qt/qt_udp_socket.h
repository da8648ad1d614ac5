// The UDP port on QUdpSocket. Whenever Qt signals, every pending datagram is read at once:
// Qt turns its read notifier off while a datagram it signalled stays unread, and then no later
// datagram is ever signalled on that socket. What was read waits in a bounded queue; a posted
// notification hands one datagram to the receiver and posts itself again while more wait, so
// the receiver never runs inside Qt's signal and a reopen in between drops what the old socket
// held.
#pragma once

#include <QObject>
#include <QUdpSocket>
#include <deque>
#include <memory>

#include "platform/udp_socket.h"

namespace platform::qt {

class QtUdpSocket : public UdpSocket {
public:
    QtUdpSocket() = default;
    ~QtUdpSocket() override;

    void setReceiver(std::function<void(const Datagram&)> receiver) override;
    bool open(uint16_t localPort) override;
    void close() override;
    bool isOpen() const override { return m_socket != nullptr; }
    SendResult sendTo(const std::string& host, uint16_t port, std::string_view bytes) override;

private:
    void readPending();
    void post();
    void deliver(uint64_t generation);

    // Owns the posted notifications: they die with it.
    QObject m_context;
    std::unique_ptr<QUdpSocket> m_socket;
    uint64_t m_generation = 0;  // one per opened socket
    bool m_posted = false;
    // Read but not yet delivered; past the bound a flood's further datagrams are dropped.
    std::deque<Datagram> m_queue;
    size_t m_queuedBytes = 0;
    std::function<void(const Datagram&)> m_receiver;
};

class QtUdpFactory : public UdpFactory {
public:
    std::unique_ptr<UdpSocket> createUdpSocket() override;
};

}  // namespace platform::qt
