// TCP sockets on the fake event loop. Each socket is one connection that the test plays the
// device of: chunks the test delivers arrive as posted readable notifications (one per
// delivered chunk), everything sent is recorded, and open can be refused. As the real adapter
// does, a handler is called through a copy, so it may wait and may destroy its socket; a
// closed or destroyed socket receives nothing more.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fake_event_loop.h"
#include "platform/tcp_socket.h"

namespace testsupport {

// The test's side of one socket; outlives the socket.
class FakeConnection : public std::enable_shared_from_this<FakeConnection> {
public:
    explicit FakeConnection(FakeEventLoop& loop) : m_loop(loop) {}

    // The chunk arrives at the next dispatch (or at virtual time atMs) as one readable
    // notification; an empty chunk delivers nothing.
    void deliver(std::string chunk);
    void deliverAt(uint32_t atMs, std::string chunk);
    // Posts the connecting notice / an error notification; lastErrorCode() is the code after
    // the handler ran.
    void fireConnecting();
    void fireError(int code);

    bool refuseOpen = false;
    bool autoConnecting = true;  // open() posts the connecting notice

    bool isOpen() const { return m_open; }
    bool socketAlive() const { return m_socketAlive; }
    const std::string& host() const { return m_host; }
    uint16_t port() const { return m_port; }
    // Every byte sent while the connection was open, in order.
    const std::string& sent() const { return m_sent; }
    void clearSent() {
        m_sent.clear();
        m_sends.clear();
    }
    // The same, one entry per send with the virtual time it went out.
    struct Send {
        uint32_t at;
        std::string bytes;
    };
    const std::vector<Send>& sends() const { return m_sends; }
    // The device's side: called for every send on the open connection, after it is recorded;
    // it may deliver answers (they arrive at a later dispatch).
    std::function<void(FakeConnection&, std::string_view)> onSend;
    // Called when the program opens the connection (host and port are set by then).
    std::function<void(FakeConnection&)> onOpen;
    int lastErrorCode() const { return m_lastError; }
    int openCount() const { return m_opens; }

private:
    friend class FakeTcpSocket;
    void post(uint32_t atMs, bool timed, std::function<void(FakeConnection&)> event);
    void deliverChunk(uint32_t atMs, bool timed, std::string chunk);

    FakeEventLoop& m_loop;
    platform::TcpSocket::Handlers m_handlers;
    bool m_socketAlive = false;
    bool m_open = false;
    uint64_t m_epoch = 0;  // bumped by close: notifications of an earlier connection are dropped
    std::string m_host;
    uint16_t m_port = 0;
    std::string m_sent;
    std::vector<Send> m_sends;
    std::string m_pending;
    int m_lastError = 0;
    int m_opens = 0;
};

class FakeTcpSocket : public platform::TcpSocket {
public:
    explicit FakeTcpSocket(std::shared_ptr<FakeConnection> c) : m_c(std::move(c)) {
        m_c->m_socketAlive = true;
    }
    ~FakeTcpSocket() override;
    void setHandlers(Handlers handlers) override { m_c->m_handlers = std::move(handlers); }
    bool open(const std::string& host, uint16_t port) override;
    void close() override;
    void send(std::string_view bytes) override;
    std::string receive() override;

private:
    std::shared_ptr<FakeConnection> m_c;
};

class FakeNetwork : public platform::Network {
public:
    explicit FakeNetwork(FakeEventLoop& loop) : m_loop(loop) {}
    std::unique_ptr<platform::TcpSocket> createTcpSocket() override;
    // The connections of the sockets made so far, oldest first.
    const std::vector<std::shared_ptr<FakeConnection>>& connections() const { return m_conns; }
    FakeConnection& last() { return *m_conns.back(); }
    // Called for each new connection before its socket is handed out: a test plays the device.
    std::function<void(FakeConnection&)> onConnection;

private:
    FakeEventLoop& m_loop;
    std::vector<std::shared_ptr<FakeConnection>> m_conns;
};

}  // namespace testsupport
