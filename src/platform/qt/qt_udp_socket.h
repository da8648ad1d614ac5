// The UDP port on QUdpSocket. Qt's readyRead only posts a notification; the notification hands
// one datagram to the receiver and posts itself again while more are waiting, so the receiver
// never runs inside Qt's signal and a reopen in between drops what the old socket held.
#pragma once

#include <QObject>
#include <QUdpSocket>
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
    void post();
    void deliver(uint64_t generation);

    // Owns the posted notifications: they die with it.
    QObject m_context;
    std::unique_ptr<QUdpSocket> m_socket;
    uint64_t m_generation = 0;  // one per opened socket
    bool m_posted = false;
    std::function<void(const Datagram&)> m_receiver;
};

class QtUdpFactory : public UdpFactory {
public:
    std::unique_ptr<UdpSocket> createUdpSocket() override;
};

}  // namespace platform::qt
