#include "fake_tcp_socket.h"

namespace testsupport {

// Runs the event only while the socket lives and the connection it was posted for is open.
void FakeConnection::post(uint32_t atMs, bool timed, std::function<void(FakeConnection&)> event) {
    std::weak_ptr<FakeConnection> self = weak_from_this();
    uint64_t epoch = m_epoch;
    auto run = [self, epoch, event = std::move(event)] {
        auto c = self.lock();
        if (!c || !c->m_socketAlive || !c->m_open || c->m_epoch != epoch) return;
        event(*c);
    };
    if (timed)
        m_loop.postAt(atMs, std::move(run));
    else
        m_loop.post(std::move(run));
}

void FakeConnection::deliver(std::string chunk) {
    deliverChunk(0, false, std::move(chunk));
}

void FakeConnection::deliverAt(uint32_t atMs, std::string chunk) {
    deliverChunk(atMs, true, std::move(chunk));
}

void FakeConnection::deliverChunk(uint32_t atMs, bool timed, std::string chunk) {
    post(atMs, timed, [chunk = std::move(chunk)](FakeConnection& c) {
        c.m_pending += chunk;
        if (c.m_pending.empty()) return;
        auto readable = c.m_handlers.readable;  // the handler may destroy the socket
        if (readable) readable();
    });
}

void FakeConnection::fireConnecting() {
    post(0, false, [](FakeConnection& c) {
        auto connecting = c.m_handlers.connecting;
        if (connecting) connecting();
    });
}

void FakeConnection::fireError(int code) {
    post(0, false, [code](FakeConnection& c) {
        int value = code;
        auto error = c.m_handlers.error;
        if (error) error(value);
        c.m_lastError = value;
    });
}

FakeTcpSocket::~FakeTcpSocket() {
    m_c->m_socketAlive = false;
    m_c->m_open = false;
    m_c->m_handlers = {};
    ++m_c->m_epoch;
}

bool FakeTcpSocket::open(const std::string& host, uint16_t port) {
    ++m_c->m_opens;
    m_c->m_host = host;
    m_c->m_port = port;
    if (m_c->refuseOpen) return false;
    m_c->m_open = true;
    ++m_c->m_epoch;
    m_c->m_pending.clear();
    if (m_c->autoConnecting) m_c->fireConnecting();
    if (m_c->onOpen) m_c->onOpen(*m_c);
    return true;
}

void FakeTcpSocket::close() {
    if (!m_c->m_open) return;
    m_c->m_open = false;
    m_c->m_pending.clear();
    ++m_c->m_epoch;
}

void FakeTcpSocket::send(std::string_view bytes) {
    if (!m_c->m_open) return;
    m_c->m_sent += bytes;
    m_c->m_sends.push_back({m_c->m_loop.tickCount(), std::string(bytes)});
    if (m_c->onSend) m_c->onSend(*m_c, bytes);
}

std::string FakeTcpSocket::receive() {
    std::string out;
    out.swap(m_c->m_pending);
    return out;
}

std::unique_ptr<platform::TcpSocket> FakeNetwork::createTcpSocket() {
    auto c = std::make_shared<FakeConnection>(m_loop);
    m_conns.push_back(c);
    if (onConnection) onConnection(*c);
    return std::make_unique<FakeTcpSocket>(c);
}

}  // namespace testsupport
