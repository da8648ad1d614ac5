#include "platform/qt/qt_tcp_socket.h"

#include <sys/socket.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QTcpSocket>
#include <QTimer>

#include "text/cp932.h"

namespace platform::qt {
namespace {

// What Qt reads ahead of the program from one connection. Unbounded, a device that floods keeps
// the whole flood in Qt's buffer until the program gets to it; bounded, the rest waits in the
// system's socket buffer and the device is slowed down by TCP itself.
constexpr qint64 kReadAheadBytes = qint64{256} << 10;

// Ends a connection once what was written has gone out: QTcpSocket holds written bytes until the
// loop turns, and aborting drops them. The socket leaves its session and finishes on its own: the
// write side is shut after the last byte, so the device reads everything and then the end; what
// the device still sends is read and dropped, because closing with unread data resets the
// connection and loses what the system has not sent yet. A device that takes nothing or never
// closes its side is cut off after kCloseDrainMs.
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
    QObject::connect(s, &QIODevice::readyRead, s, [s] { s->readAll(); });
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
    m_socket->setReadBufferSize(kReadAheadBytes);
    // One posted notification at a time: whatever arrives before it is dispatched is read by it
    // as one chunk; what arrives while its handler waits raises a new one.
    QObject::connect(m_socket.get(), &QTcpSocket::readyRead, m_socket.get(), [this] {
        if (m_readablePending) return;
        m_readablePending = true;
        post([this] { notifyReadable(); });
    });
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

void QtTcpSocket::notifyReadable() {
    m_readablePending = false;
    if (m_socket->bytesAvailable() > 0) call(m_handlers.readable);
}

// Through a copy: the handler may destroy this object, and with it the handlers.
void QtTcpSocket::call(const std::function<void()>& handler) {
    auto copy = handler;
    if (copy) copy();
}

bool QtTcpSocket::open(const std::string& host, uint16_t port) {
    m_socket->abort();
    m_readablePending = false;
    m_socket->connectToHost(QString::fromStdString(text::decode(host)), port);
    return true;
}

// A notification still queued finds the socket it reads from empty: abort() empties the read
// buffer, and a drained connection is no longer the one it reads from.
void QtTcpSocket::close() {
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

std::string QtTcpSocket::receive() {
    const QByteArray data = m_socket->readAll();
    return std::string(data.constData(), static_cast<size_t>(data.size()));
}

std::unique_ptr<TcpSocket> QtNetwork::createTcpSocket() {
    return std::make_unique<QtTcpSocket>();
}

}  // namespace platform::qt
