#include "platform/qt/qt_tcp_socket.h"

#include <sys/socket.h>

#include <utility>

#include <QCoreApplication>
#include <QMetaObject>
#include <QTcpSocket>
#include <QTimer>

#include "text/cp932.h"

namespace platform::qt {
namespace {

// What one read takes from the system, and what is held for the program at most. The socket is
// unbuffered: Qt reads nothing ahead, so a device that floods is slowed down by TCP itself while
// the rest waits in the system's socket buffer.
constexpr size_t kReadBytes = size_t{64} << 10;
constexpr size_t kReadAheadBytes = size_t{256} << 10;

// Ends a connection once what was written has gone out: QTcpSocket holds what the system did not
// take at once until the loop turns, and aborting drops it. The socket leaves its session and
// finishes on its own: the write side is shut after the last byte, so the device reads everything
// and then the end; what the device still sends is read and dropped, because closing with unread
// data resets the connection and loses what the system has not sent yet. A device that takes
// nothing or never closes its side is cut off after kCloseDrainMs.
void drain(QTcpSocket* s) {
    s->disconnect();  // nothing of it reaches the session any more
    // A program that ends while a connection still drains deletes it with its application
    // object, not never.
    if (QCoreApplication* app = QCoreApplication::instance(); app && app->thread() == s->thread())
        s->setParent(app);
    auto shutWhenWritten = [s] {
        if (s->bytesToWrite() == 0 && s->socketDescriptor() >= 0)
            ::shutdown(static_cast<int>(s->socketDescriptor()), SHUT_WR);
    };
    QObject::connect(s, &QIODevice::bytesWritten, s, shutWhenWritten);
    QObject::connect(s, &QIODevice::channelReadyRead, s, [s](int) { s->readAll(); });
    QObject::connect(s, &QAbstractSocket::disconnected, s, &QObject::deleteLater);
    QObject::connect(s, &QAbstractSocket::errorOccurred, s, &QObject::deleteLater);
    QTimer::singleShot(kCloseDrainMs, s, [s] {
        // A reset: a plain close would leave the unsent rest queued for as long as the device
        // takes nothing.
        if (s->socketDescriptor() >= 0) {
            const linger reset{1, 0};
            ::setsockopt(static_cast<int>(s->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset,
                         sizeof reset);
        }
        s->abort();
        s->deleteLater();
    });
    s->readAll();
    s->flush();
    shutWhenWritten();
}

}  // namespace

QtTcpSocket::QtTcpSocket() : m_socket(std::make_unique<QTcpSocket>()) {
    wire();
}

void QtTcpSocket::wire() {
    // channelReadyRead, unlike readyRead, is raised again while a slot of this socket runs: it
    // is what tells that data came during a handler's wait.
    QObject::connect(m_socket.get(), &QIODevice::channelReadyRead, m_socket.get(),
                     [this](int) { onReadyRead(); });
    QObject::connect(m_socket.get(), &QAbstractSocket::stateChanged, m_socket.get(),
                     [this](QAbstractSocket::SocketState state) {
                         if (state == QAbstractSocket::ConnectingState) {
                             post([this] { call(m_handlers.connecting); });
                         }
                     });
    QObject::connect(m_socket.get(), &QAbstractSocket::errorOccurred, m_socket.get(),
                     [this](QAbstractSocket::SocketError error) {
                         post([this, code = static_cast<int>(error)]() mutable {
                             // A copy: the handler may destroy this object, and with it
                             // the handlers.
                             auto handler = m_handlers.error;
                             if (handler) handler(code);
                         });
                     });
}

QtTcpSocket::~QtTcpSocket() {
    m_dispatch->alive = false;
    if (m_socket->state() == QAbstractSocket::ConnectedState) {
        drain(m_socket.release());  // deleted later, never here
        return;
    }
    m_socket->disconnect();
    m_socket->abort();
    if (m_dispatch->depth > 0) {
        // Destroyed by a handler that one of its own notifications called (a wait inside it
        // let another operation replace the session): the QTcpSocket is still delivering that
        // notification, so it goes once the loop is back at its level.
        m_socket.release()->deleteLater();
    }
    // Notifications still queued find the object gone and do nothing.
}

void QtTcpSocket::setHandlers(Handlers handlers) {
    m_handlers = std::move(handlers);
}

void QtTcpSocket::post(std::function<void()> notify) {
    QMetaObject::invokeMethod(
        m_socket.get(),
        [dispatch = m_dispatch, notify = std::move(notify)] {
            if (!dispatch->alive) return;
            ++dispatch->depth;
            notify();  // may destroy this object: only the shared state is touched afterwards
            --dispatch->depth;
        },
        Qt::QueuedConnection);
}

// Directly, unless a handler of this socket runs (it waits inside): then one posted notification
// at a time, which reads whatever came before it is dispatched as one chunk, inside the wait.
void QtTcpSocket::onReadyRead() {
    if (m_dispatch->depth > 0) {
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
    if (readPending()) call(m_handlers.readable);
}

// One read of what the system holds: no size asked first, no second read to find it empty. True
// when it brought bytes: a notification with nothing new (Qt raises some) calls no handler, even
// when a handler left a chunk untaken. That chunk grows only up to the bound; then the system
// keeps the rest.
bool QtTcpSocket::readPending() {
    if (m_chunk.size() >= kReadAheadBytes || m_socket->state() != QAbstractSocket::ConnectedState)
        return false;
    if (!m_readBuffer) m_readBuffer = std::make_unique_for_overwrite<char[]>(kReadBytes);
    const qint64 n = m_socket->read(m_readBuffer.get(), static_cast<qint64>(kReadBytes));
    if (n <= 0) return false;
    m_chunk.append(m_readBuffer.get(), static_cast<size_t>(n));
    return true;
}

// Through a copy: the handler may destroy this object, and with it the handlers.
void QtTcpSocket::call(const std::function<void()>& handler) {
    auto copy = handler;
    if (copy) copy();
}

bool QtTcpSocket::open(const std::string& host, uint16_t port) {
    m_socket->abort();
    m_readablePending = false;
    m_chunk.clear();
    // Unbuffered: a send goes out at once, not at the loop's next turn, and a read is one
    // system call.
    m_socket->connectToHost(QString::fromStdString(text::decode(host)), port,
                            QIODevice::ReadWrite | QIODevice::Unbuffered);
    return true;
}

// A notification still queued finds nothing to deliver: what was read is dropped, and a drained
// connection is no longer the one it reads from.
void QtTcpSocket::close() {
    m_chunk.clear();
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        m_socket->abort();
        return;
    }
    drain(m_socket.release());
    m_socket = std::make_unique<QTcpSocket>();
    wire();
}

void QtTcpSocket::send(std::string_view bytes) {
    if (m_socket->state() != QAbstractSocket::ConnectedState) return;
    m_socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
}

// A chunk held up to the bound stopped the reads, and with them Qt's notifications: once it is
// taken, a posted notification reads on.
std::string QtTcpSocket::receive() {
    if (m_chunk.empty()) {
        readPending();
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
