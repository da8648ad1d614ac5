#include "platform/qt/qt_tcp_socket.h"

#include <arpa/inet.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include <QAbstractSocket>
#include <QCoreApplication>
#include <QHostAddress>
#include <QHostInfo>
#include <QMetaObject>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include "text/cp932.h"

namespace platform::qt {
namespace {

// What one read takes from the system, and what is held for the program at most: a device that
// floods is slowed down by TCP itself while the rest waits in the system's socket buffer.
constexpr size_t kReadBytes = size_t{64} << 10;
constexpr size_t kReadAheadBytes = size_t{256} << 10;

// The codes the error handler gets, numbered as Qt's own sockets number them.
int ErrorCode(int err) {
    switch (err) {
        case ECONNREFUSED:
            return QAbstractSocket::ConnectionRefusedError;
        case 0:
        case ECONNRESET:
        case EPIPE:
            return QAbstractSocket::RemoteHostClosedError;
        case EACCES:
        case EPERM:
            return QAbstractSocket::SocketAccessError;
        case EMFILE:
        case ENFILE:
        case ENOBUFS:
        case ENOMEM:
            return QAbstractSocket::SocketResourceError;
        case ETIMEDOUT:
            return QAbstractSocket::SocketTimeoutError;
        default:
            return QAbstractSocket::NetworkError;
    }
}

bool Literal(const std::string& host, uint16_t port, sockaddr_storage& out) {
    out = {};
    auto* v4 = reinterpret_cast<sockaddr_in*>(&out);
    if (::inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        return true;
    }
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&out);
    if (::inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        return true;
    }
    return false;
}

bool FromQt(const QHostAddress& address, uint16_t port, sockaddr_storage& out) {
    out = {};
    bool ok = false;
    const quint32 v4 = address.toIPv4Address(&ok);
    if (ok) {
        auto* in = reinterpret_cast<sockaddr_in*>(&out);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        in->sin_addr.s_addr = htonl(v4);
        return true;
    }
    if (address.protocol() != QAbstractSocket::IPv6Protocol) return false;
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&out);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(port);
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    std::memcpy(&in6->sin6_addr, bytes.c, sizeof bytes.c);
    return true;
}

// A connection that left its session. What was written still goes out, then the write side is
// shut, so the device reads everything and then the end; what the device still sends is read and
// dropped, because closing with unread data resets the connection and loses what the system has
// not sent yet. A device that takes nothing or never closes its side is cut off after
// kCloseDrainMs with a reset (a plain close would leave the unsent rest queued for as long as the
// device takes nothing). A program that ends while one drains deletes it with its application
// object.
class Drain : public QObject {
public:
    Drain(int fd, std::string unsent)
        : m_fd(fd),
          m_unsent(std::move(unsent)),
          m_read(fd, QSocketNotifier::Read, this),
          m_write(fd, QSocketNotifier::Write, this) {
        if (QCoreApplication* app = QCoreApplication::instance(); app && app->thread() == thread())
            setParent(app);
        m_write.setEnabled(false);
        connect(&m_read, &QSocketNotifier::activated, this, [this] { readAndDrop(); });
        connect(&m_write, &QSocketNotifier::activated, this, [this] { writeRest(); });
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const linger reset{1, 0};
            ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            finish();
        });
        m_timer.start(kCloseDrainMs);
        writeRest();
    }
    ~Drain() override {
        if (m_fd >= 0) ::close(m_fd);
    }

private:
    void writeRest() {
        while (!m_unsent.empty()) {
            const ssize_t n = ::send(m_fd, m_unsent.data(), m_unsent.size(), MSG_NOSIGNAL);
            if (n >= 0) {
                m_unsent.erase(0, static_cast<size_t>(n));
            } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
                m_write.setEnabled(true);
                return;
            } else if (errno != EINTR) {
                finish();
                return;
            }
        }
        m_write.setEnabled(false);
        ::shutdown(m_fd, SHUT_WR);
    }
    void readAndDrop() {
        char buffer[16384];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            finish();
    }
    void finish() {
        m_read.setEnabled(false);
        m_write.setEnabled(false);
        m_timer.stop();
        ::close(m_fd);
        m_fd = -1;
        deleteLater();
    }

    int m_fd;
    std::string m_unsent;
    QSocketNotifier m_read;
    QSocketNotifier m_write;
    QTimer m_timer;
};

}  // namespace

QtTcpSocket::QtTcpSocket() : m_context(std::make_unique<QObject>()) {}

QtTcpSocket::~QtTcpSocket() {
    m_dispatch->alive = false;
    release(true);
    // Destroyed by a handler that one of its own notifications called (a wait inside it let
    // another operation replace the session): what delivers that notification goes once the loop
    // is back at its level. Notifications still queued find the object gone and do nothing.
    if (m_dispatch->depth > 0) m_context.release()->deleteLater();
}

void QtTcpSocket::setHandlers(Handlers handlers) {
    m_handlers = std::move(handlers);
}

bool QtTcpSocket::open(const std::string& host, uint16_t port) {
    release(false);
    m_readablePending = false;
    m_chunk.clear();
    m_addresses.clear();
    m_nextAddress = 0;
    m_port = port;
    if (sockaddr_storage address; Literal(host, port, address)) {
        m_addresses.push_back(address);
        post([this] { call(m_handlers.connecting); });
        connectNext();
        return true;
    }
    // A name, or an address written as the system does not read it: Qt's lookup answers both.
    m_state = State::LookingUp;
    const unsigned connection = m_dispatch->connection;
    m_lookupId =
        QHostInfo::lookupHost(QString::fromStdString(text::decode(host)), m_context.get(),
                              [this, connection](const QHostInfo& info) {
                                  if (connection != m_dispatch->connection) return;
                                  m_lookupId = -1;
                                  for (const QHostAddress& found : info.addresses()) {
                                      if (sockaddr_storage address; FromQt(found, m_port, address))
                                          m_addresses.push_back(address);
                                  }
                                  if (m_addresses.empty()) {
                                      m_state = State::Idle;
                                      postError(QAbstractSocket::HostNotFoundError);
                                      return;
                                  }
                                  post([this] { call(m_handlers.connecting); });
                                  connectNext();
                              });
    return true;
}

// The next address's attempt; when none is left, the error of the last one.
void QtTcpSocket::connectNext() {
    int err = ECONNREFUSED;
    while (m_nextAddress < m_addresses.size()) {
        const sockaddr_storage& address = m_addresses[m_nextAddress++];
        const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            err = errno;
            continue;
        }
        const socklen_t size =
            address.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
        const int r = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), size);
        if (r == 0 || errno == EINPROGRESS || errno == EINTR) {
            m_fd = fd;
            m_state = r == 0 ? State::Connected : State::Connecting;
            // One notifier tells both how the attempt went and that data came: a failed attempt
            // makes the socket readable with its error.
            m_readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, m_context.get());
            QObject::connect(m_readNotifier, &QSocketNotifier::activated, m_context.get(),
                             [this] { onActivated(); });
            return;
        }
        err = errno;
        ::close(fd);
    }
    m_state = State::Idle;
    postError(ErrorCode(err));
}

// Only a send asks this: the readable notification tells the rest.
bool QtTcpSocket::connectDone() {
    pollfd p{m_fd, POLLOUT, 0};
    if (::poll(&p, 1, 0) <= 0) return false;
    int err = 0;
    socklen_t size = sizeof err;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &err, &size) != 0) err = errno;
    if (err != 0 || !(p.revents & POLLOUT)) return false;  // the notification tells the error
    m_state = State::Connected;
    return true;
}

// Directly, unless a handler of this socket runs (it waits inside): then one posted notification
// at a time, which reads whatever came before it is dispatched as one chunk, inside the wait.
void QtTcpSocket::onActivated() {
    if (m_dispatch->depth > 0) {
        m_readNotifier->setEnabled(false);  // it would fire again at every turn of the wait
        if (m_readablePending) return;
        m_readablePending = true;
        post([this] { notifyReadable(); });
        return;
    }
    if (!readPending()) return;
    const std::shared_ptr<Dispatch> dispatch = m_dispatch;
    ++dispatch->depth;
    call(m_handlers.readable);  // may destroy this object
    --dispatch->depth;
}

void QtTcpSocket::notifyReadable() {
    m_readablePending = false;
    if (m_readNotifier) m_readNotifier->setEnabled(true);
    if (readPending()) call(m_handlers.readable);
}

// One read of what the system holds: no size asked first, no second read to find it empty. True
// when it brought bytes. A chunk left untaken grows only up to the bound; then the system keeps
// the rest, and the notifications stop until it is taken. An attempt still under way is read
// only once the socket said it is readable: what the read gives tells how the attempt went.
bool QtTcpSocket::readPending() {
    if (m_state != State::Connected && m_state != State::Connecting) return false;
    if (m_chunk.size() >= kReadAheadBytes) {
        m_readNotifier->setEnabled(false);
        return false;
    }
    if (!m_readBuffer) m_readBuffer = std::make_unique_for_overwrite<char[]>(kReadBytes);
    ssize_t n;
    do {
        n = ::read(m_fd, m_readBuffer.get(), kReadBytes);
    } while (n < 0 && errno == EINTR);
    if (n > 0) {
        m_state = State::Connected;
        m_chunk.append(m_readBuffer.get(), static_cast<size_t>(n));
        return true;
    }
    const int err = n == 0 ? 0 : errno;
    if (err == EAGAIN || err == EWOULDBLOCK) return false;
    if (m_state == State::Connecting && err != 0) {
        release(false);
        connectNext();
        return false;
    }
    lost(ErrorCode(err));
    return false;
}

// The device ended the connection, or it broke: what it sent before stays to be taken, what
// waits to go out still goes.
void QtTcpSocket::lost(int code) {
    release(!m_unsent.empty());
    postError(code);
}

void QtTcpSocket::send(std::string_view bytes) {
    if (m_state == State::Connecting && !connectDone()) return;
    if (m_state != State::Connected || bytes.empty()) return;
    if (!m_unsent.empty()) {
        m_unsent.append(bytes);
        return;
    }
    while (!bytes.empty()) {
        const ssize_t n = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n >= 0) {
            bytes.remove_prefix(static_cast<size_t>(n));
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            m_unsent.assign(bytes);
            if (!m_writeNotifier) {
                m_writeNotifier =
                    new QSocketNotifier(m_fd, QSocketNotifier::Write, m_context.get());
                QObject::connect(m_writeNotifier, &QSocketNotifier::activated, m_context.get(),
                                 [this] { flushWrites(); });
            }
            m_writeNotifier->setEnabled(true);
            return;
        } else if (errno != EINTR) {
            postError(ErrorCode(errno));  // the read side tells the end of the connection
            return;
        }
    }
}

void QtTcpSocket::flushWrites() {
    while (!m_unsent.empty()) {
        const ssize_t n = ::send(m_fd, m_unsent.data(), m_unsent.size(), MSG_NOSIGNAL);
        if (n >= 0) {
            m_unsent.erase(0, static_cast<size_t>(n));
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return;
        } else if (errno != EINTR) {
            m_unsent.clear();
            postError(ErrorCode(errno));
            break;
        }
    }
    m_writeNotifier->setEnabled(false);
}

// A notification still queued finds nothing to deliver: what was read is dropped, and a drained
// connection is no longer the one it reads from.
void QtTcpSocket::close() {
    m_chunk.clear();
    release(true);
}

// Lets go of the connection: a connected one drains on its own when drainIt, any other is cut.
// Notifications of it still queued are dropped; the addresses still to try stay.
void QtTcpSocket::release(bool drainIt) {
    if (m_lookupId >= 0) QHostInfo::abortHostLookup(m_lookupId);
    m_lookupId = -1;
    for (QSocketNotifier** notifier : {&m_readNotifier, &m_writeNotifier}) {
        if (!*notifier) continue;
        (*notifier)->setEnabled(false);
        if (m_dispatch->depth > 0) {
            // It may be the one delivering the notification that led here.
            (*notifier)->setParent(nullptr);
            (*notifier)->deleteLater();
        } else {
            delete *notifier;
        }
        *notifier = nullptr;
    }
    if (m_fd >= 0) {
        if (drainIt && m_state == State::Connected)
            new Drain(m_fd, std::move(m_unsent));
        else
            ::close(m_fd);
    }
    m_fd = -1;
    m_unsent.clear();
    m_state = State::Idle;
    ++m_dispatch->connection;
}

void QtTcpSocket::post(std::function<void()> notify) {
    QMetaObject::invokeMethod(
        m_context.get(),
        [dispatch = m_dispatch, connection = m_dispatch->connection, notify = std::move(notify)] {
            if (!dispatch->alive || dispatch->connection != connection) return;
            ++dispatch->depth;
            notify();  // may destroy this object: only the shared state is touched afterwards
            --dispatch->depth;
        },
        Qt::QueuedConnection);
}

void QtTcpSocket::postError(int code) {
    post([this, code]() mutable {
        // A copy: the handler may destroy this object, and with it the handlers.
        auto handler = m_handlers.error;
        if (handler) handler(code);
    });
}

// Through a copy: the handler may destroy this object, and with it the handlers.
void QtTcpSocket::call(const std::function<void()>& handler) {
    auto copy = handler;
    if (copy) copy();
}

// A chunk held up to the bound stopped the notifications: once it is taken, a posted one reads on.
std::string QtTcpSocket::receive() {
    if (m_chunk.empty()) {
        if (m_state == State::Connected) readPending();
    } else if (m_chunk.size() >= kReadAheadBytes && !m_readablePending) {
        m_readablePending = true;
        post([this] { notifyReadable(); });
    }
    return std::exchange(m_chunk, {});
}

std::unique_ptr<TcpSocket> QtNetwork::createTcpSocket() {
    return std::make_unique<QtTcpSocket>();
}

}  // namespace platform::qt
