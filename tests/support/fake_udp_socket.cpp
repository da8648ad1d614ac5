#include "fake_udp_socket.h"

#include <algorithm>
#include <optional>

namespace testsupport {
namespace {

bool isDotted(const std::string& host) {
    int parts = 0;
    size_t start = 0;
    for (;;) {
        size_t dot = host.find('.', start);
        std::string part = host.substr(start, dot == std::string::npos ? dot : dot - start);
        if (part.empty() || part.size() > 3 ||
            part.find_first_not_of("0123456789") != std::string::npos || std::stoi(part) > 255) {
            return false;
        }
        ++parts;
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return parts == 4;
}

}  // namespace

class FakeUdpSocket : public platform::UdpSocket {
public:
    explicit FakeUdpSocket(FakeUdpNetwork* net) : m_net(net) { net->m_sockets.push_back(this); }
    ~FakeUdpSocket() override {
        if (!m_net) return;
        auto& v = m_net->m_sockets;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }

    void setReceiver(std::function<void(const platform::Datagram&)> r) override {
        m_receiver = std::move(r);
    }
    bool open(uint16_t localPort) override {
        close();
        m_net->opened.push_back(localPort);
        if (m_net->heldPorts.count(localPort)) return false;
        m_port = localPort;
        return true;
    }
    void close() override { m_port.reset(); }
    bool isOpen() const override { return m_port.has_value(); }
    SendResult sendTo(const std::string& host, uint16_t port, std::string_view bytes) override {
        std::string address = host;
        if (!isDotted(host)) {
            auto it = m_net->names.find(host);
            if (it == m_net->names.end()) return SendResult::InvalidHost;
            address = it->second;
        }
        if (!m_port) return SendResult::Sent;
        FakeUdpNetwork::Sent s{address, port, std::string(bytes), *m_port,
                               m_net->m_loop.tickCount()};
        m_net->sent.push_back(s);
        if (m_net->onSend) m_net->onSend(s);
        return SendResult::Sent;
    }

    std::optional<uint16_t> m_port;
    std::function<void(const platform::Datagram&)> m_receiver;
    FakeUdpNetwork* m_net;
};

FakeUdpNetwork::~FakeUdpNetwork() {
    for (FakeUdpSocket* s : m_sockets) s->m_net = nullptr;
}

std::unique_ptr<platform::UdpSocket> FakeUdpNetwork::createUdpSocket() {
    return std::make_unique<FakeUdpSocket>(this);
}

void FakeUdpNetwork::deliver(uint16_t toPort, platform::Datagram datagram, uint32_t delayMs) {
    m_loop.postAt(m_loop.tickCount() + delayMs, [this, toPort, d = std::move(datagram)] {
        for (FakeUdpSocket* s : m_sockets) {
            if (s->m_port == toPort && s->m_receiver) {
                s->m_receiver(d);
                return;
            }
        }
    });
}

}  // namespace testsupport
