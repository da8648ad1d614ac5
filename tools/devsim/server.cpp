// The epoll loop. Writes of one connection go out in order, each with one send() call once it
// is due, so the gaps between them keep them apart as separate chunks at the reader.
#include "server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <unordered_map>

#include "search.h"

namespace devsim {
namespace {

constexpr size_t kReadSize = 64 * 1024;
constexpr size_t kFloodPiece = 64 * 1024;
constexpr size_t kMaxDatagram = 2048;
// A closing device waits this long for the peer to close before it drops the connection.
constexpr auto kDrainTime = std::chrono::seconds(2);

sockaddr_in socketAddress(uint32_t address, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(address);
    a.sin_port = htons(port);
    return a;
}

std::string errorText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

uint16_t boundPort(int fd) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) return 0;
    return ntohs(a.sin_port);
}

int openSocket(int type, uint32_t address, uint16_t port, bool shared, std::string& error) {
    int fd = socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = errorText("socket");
        return -1;
    }
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (shared) {
        setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
        setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    }
    sockaddr_in a = socketAddress(address, port);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        (type == SOCK_STREAM && listen(fd, 16) != 0)) {
        error = errorText("cannot listen on " + ipText(address) + ":" + std::to_string(port));
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

struct Server::Device {
    explicit Device(DeviceConfig config) : state(std::move(config)) {}
    DeviceState state;
    int listenFd = -1;
    int udpFd = -1;  // replies leave from the device's own address
    uint16_t port = 0;
};

struct Server::Connection {
    Connection(int f, Device& d) : fd(f), device(d), dialogue(d.state) {}
    struct Timed {
        Clock::time_point due;
        Write write;
    };
    int fd;
    Device& device;
    Dialogue dialogue;
    std::deque<Timed> queue;
    Clock::time_point lastDue{};
    std::string out;
    size_t outPos = 0;
    bool closeAfterOut = false;
    bool flooding = false;
    uint64_t floodSent = 0;
    uint64_t floodLine = 0;
    Clock::time_point floodEnd{};
    bool draining = false;
    Clock::time_point drainEnd{};
    bool dead = false;
    bool watchingOut = false;  // the loop is told when the system takes more
};

Server::Server(SimConfig config, std::FILE* log) : m_config(std::move(config)), m_log(log) {
    for (const auto& d : m_config.devices) m_devices.push_back(std::make_unique<Device>(d));
}

Server::~Server() {
    for (auto& c : m_connections) close(c->fd);
    for (auto& d : m_devices) {
        if (d->listenFd >= 0) close(d->listenFd);
        if (d->udpFd >= 0) close(d->udpFd);
    }
    if (m_searchFd >= 0) close(m_searchFd);
}

std::string Server::open() {
    std::string error;
    for (auto& d : m_devices) {
        const DeviceConfig& c = d->state.config();
        d->listenFd = openSocket(SOCK_STREAM, c.address, c.port, false, error);
        if (d->listenFd < 0) return error;
        d->port = boundPort(d->listenFd);
        std::string ignored;
        d->udpFd = openSocket(SOCK_DGRAM, c.address, 0, false, ignored);
    }
    if (m_config.search) {
        m_searchFd = openSocket(SOCK_DGRAM, INADDR_ANY, m_config.searchPort, true, error);
        if (m_searchFd < 0) return error;
        m_searchPort = boundPort(m_searchFd);
    }
    return {};
}

std::vector<uint16_t> Server::ports() const {
    std::vector<uint16_t> out;
    for (const auto& d : m_devices) out.push_back(d->port);
    return out;
}

uint16_t Server::searchPort() const {
    return m_searchPort;
}

void Server::run(int stopFd) {
    const int ep = epoll_create1(EPOLL_CLOEXEC);
    if (ep < 0) return;
    // What an event names: the stop descriptor, the search socket, listener k, or a connection's
    // descriptor with the top bit set.
    constexpr uint64_t kStop = 0, kSearch = 1, kFirstListener = 2, kConnection = uint64_t{1} << 63;
    auto watch = [ep](int fd, uint32_t events, uint64_t tag, int op) {
        epoll_event e{};
        e.events = events;
        e.data.u64 = tag;
        return epoll_ctl(ep, op, fd, &e) == 0;
    };
    bool ok = watch(stopFd, EPOLLIN, kStop, EPOLL_CTL_ADD);
    if (m_searchFd >= 0) ok = ok && watch(m_searchFd, EPOLLIN, kSearch, EPOLL_CTL_ADD);
    for (size_t k = 0; k < m_devices.size(); ++k)
        ok = ok && watch(m_devices[k]->listenFd, EPOLLIN, kFirstListener + k, EPOLL_CTL_ADD);
    std::unordered_map<int, Connection*> byFd;
    std::vector<epoll_event> events(256);
    while (ok) {
        const int n =
            epoll_wait(ep, events.data(), static_cast<int>(events.size()), timeoutMs(Clock::now()));
        if (n < 0 && errno != EINTR) break;
        const auto now = Clock::now();
        bool stop = false;
        for (int i = 0; i < n; ++i) {
            const uint64_t tag = events[i].data.u64;
            if (tag == kStop) {
                stop = true;
            } else if (tag == kSearch) {
                answerSearch();
            } else if (tag < kConnection) {
                const size_t first = m_connections.size();
                accept(*m_devices[tag - kFirstListener]);
                for (size_t k = first; k < m_connections.size(); ++k) {
                    Connection& c = *m_connections[k];
                    byFd[c.fd] = &c;
                    if (!watch(c.fd, EPOLLIN, kConnection | static_cast<uint64_t>(c.fd),
                               EPOLL_CTL_ADD))
                        c.dead = true;
                }
            } else if (events[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR)) {
                const auto found = byFd.find(static_cast<int>(tag & ~kConnection));
                if (found != byFd.end() && !found->second->dead) read(*found->second, now);
            }
        }
        if (stop) break;
        // Every connection, also those without events: their writes fall due by time.
        for (auto& c : m_connections) {
            if (c->dead) continue;
            pump(*c, now);
            const bool pending = c->outPos < c->out.size() || c->flooding;
            if (pending != c->watchingOut && !c->dead) {
                c->watchingOut = pending;
                watch(c->fd, EPOLLIN | (pending ? EPOLLOUT : 0u),
                      kConnection | static_cast<uint64_t>(c->fd), EPOLL_CTL_MOD);
            }
        }
        std::erase_if(m_connections, [&byFd](const auto& c) {
            if (!c->dead) return false;
            byFd.erase(c->fd);
            close(c->fd);  // leaves the epoll set with it
            return true;
        });
    }
    close(ep);
}

int Server::timeoutMs(Clock::time_point now) const {
    auto next = Clock::time_point::max();
    for (const auto& c : m_connections) {
        if (c->draining) next = std::min(next, c->drainEnd);
        bool idle = c->outPos >= c->out.size() && !c->flooding;
        if (idle && !c->queue.empty()) next = std::min(next, c->queue.front().due);
    }
    if (next == Clock::time_point::max()) return -1;
    if (next <= now) return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(next - now).count());
}

void Server::accept(Device& device) {
    for (;;) {
        sockaddr_in peer{};
        socklen_t len = sizeof peer;
        int fd = accept4(device.listenFd, reinterpret_cast<sockaddr*>(&peer), &len,
                         SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        if (!isLoopback(ntohl(peer.sin_addr.s_addr))) {
            close(fd);
            continue;
        }
        auto c = std::make_unique<Connection>(fd, device);
        const auto now = Clock::now();
        if (m_log)
            std::fprintf(m_log, "%s:%u connected\n", ipText(device.state.config().address).c_str(),
                         device.port);
        enqueue(*c, c->dialogue.start(), now);
        m_connections.push_back(std::move(c));
    }
}

void Server::read(Connection& c, Clock::time_point now) {
    char buf[kReadSize];
    for (;;) {
        ssize_t n = recv(c.fd, buf, sizeof buf, 0);
        if (n > 0) {
            if (c.draining) continue;
            std::string bytes(buf, static_cast<size_t>(n));
            logBytes(c, "<", bytes);
            enqueue(c, c.dialogue.receive(bytes), now);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
        // The peer closed or the connection broke: nothing more can be said.
        c.dead = true;
        return;
    }
}

void Server::enqueue(Connection& c, std::vector<Write> writes, Clock::time_point now) {
    for (auto& w : writes) {
        auto due = std::max(now, c.lastDue) + std::chrono::milliseconds(w.delayMs);
        c.lastDue = due;
        c.queue.push_back({due, std::move(w)});
    }
}

void Server::pump(Connection& c, Clock::time_point now) {
    if (c.draining) {
        if (now >= c.drainEnd) c.dead = true;
        return;
    }
    for (;;) {
        if (c.flooding && c.outPos >= c.out.size()) fillFlood(c, now);
        if (c.outPos >= c.out.size() && !c.flooding) {
            if (c.closeAfterOut) return finish(c);
            if (c.queue.empty() || c.queue.front().due > now) return;
            Write w = std::move(c.queue.front().write);
            c.queue.pop_front();
            c.out = std::move(w.bytes);
            c.outPos = 0;
            c.closeAfterOut = w.close;
            if (w.flood) {
                c.flooding = true;
                c.floodEnd =
                    now + std::chrono::milliseconds(c.device.state.config().faults.floodMs);
                if (m_log) std::fprintf(m_log, "flood starts\n");
            } else if (!c.out.empty()) {
                logBytes(c, ">", c.out);
            }
            continue;
        }
        ssize_t n = send(c.fd, c.out.data() + c.outPos, c.out.size() - c.outPos, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) c.dead = true;
            return;
        }
        c.outPos += static_cast<size_t>(n);
        if (c.outPos < c.out.size()) return;
        // One write at a time: the next one is due by its own time, never glued to this one
        // unless it has no gap.
    }
}

void Server::fillFlood(Connection& c, Clock::time_point now) {
    const Faults& f = c.device.state.config().faults;
    if (c.floodSent >= f.floodBytes || now >= c.floodEnd) {
        c.flooding = false;
        if (m_log)
            std::fprintf(m_log, "flood ends after %llu bytes\n",
                         static_cast<unsigned long long>(c.floodSent));
        return;
    }
    c.out.clear();
    c.outPos = 0;
    char line[64];
    while (c.out.size() < kFloodPiece) {
        int len = std::snprintf(line, sizeof line, "flood %010llu abcdefghijklmnopqrstuvwxyz\r\n",
                                static_cast<unsigned long long>(++c.floodLine));
        c.out.append(line, static_cast<size_t>(len));
    }
    c.out.resize(static_cast<size_t>(std::min<uint64_t>(c.out.size(), f.floodBytes - c.floodSent)));
    c.floodSent += c.out.size();
}

void Server::finish(Connection& c) {
    if (m_log) std::fprintf(m_log, "%s closes\n", ipText(c.device.state.config().address).c_str());
    // Half-close and wait for the peer: closing at once with unread input would reset the
    // connection and could destroy the last answer before the program reads it.
    shutdown(c.fd, SHUT_WR);
    c.draining = true;
    c.closeAfterOut = false;
    c.queue.clear();
    c.drainEnd = Clock::now() + kDrainTime;
}

void Server::answerSearch() {
    char buf[kMaxDatagram];
    for (;;) {
        sockaddr_in from{};
        socklen_t len = sizeof from;
        ssize_t n = recvfrom(m_searchFd, buf, sizeof buf, MSG_TRUNC,
                             reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0) return;
        const uint32_t address = ntohl(from.sin_addr.s_addr);
        const uint16_t port = ntohs(from.sin_port);
        std::string_view datagram(buf, std::min<size_t>(static_cast<size_t>(n), sizeof buf));
        const bool valid = static_cast<size_t>(n) == kRequestSize && isSearchRequest(datagram);
        if (m_log)
            std::fprintf(m_log, "search from %s:%u, %zd bytes%s\n", ipText(address).c_str(), port,
                         n, valid ? "" : ", ignored");
        if (!valid || !isLoopback(address)) continue;
        for (auto& d : m_devices)
            for (const auto& reply : searchReplies(d->state.config()))
                sendDatagram(d->udpFd >= 0 ? d->udpFd : m_searchFd, reply, address, port);
    }
}

void Server::sendDatagram(int fd, const std::string& bytes, uint32_t address, uint16_t port) {
    // The simulator never talks to anything outside loopback.
    if (!isLoopback(address)) return;
    sockaddr_in to = socketAddress(address, port);
    sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

void Server::logBytes(const Connection& c, const char* direction, const std::string& bytes) {
    if (!m_log) return;
    std::string shown;
    char hex[8];
    for (unsigned char b : bytes) {
        if (b == '\r')
            shown += "\\r";
        else if (b == '\n')
            shown += "\\n";
        else if (b == '\\')
            shown += "\\\\";
        else if (b < 0x20 || b == 0x7F) {
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            shown += hex;
        } else
            shown += static_cast<char>(b);
    }
    std::fprintf(m_log, "%s:%u %s %s\n", ipText(c.device.state.config().address).c_str(),
                 c.device.port, direction, shown.c_str());
    std::fflush(m_log);
}

}  // namespace devsim
