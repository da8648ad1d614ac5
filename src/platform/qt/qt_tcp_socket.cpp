#include "platform/qt/qt_tcp_socket.h"

#include <QMetaObject>
#include <QTcpSocket>

namespace platform::qt {

QtTcpSocket::QtTcpSocket() : m_socket(std::make_unique<QTcpSocket>()) {
    // One posted notification at a time: whatever arrives before it is dispatched is read by it
    // as one chunk; what arrives while its handler waits raises a new one.
    QObject::connect(m_socket.get(), &QTcpSocket::readyRead, m_socket.get(), [this] {
        if (m_readablePending) return;
        m_readablePending = true;
        post(&QtTcpSocket::notifyReadable);
    });
    QObject::connect(m_socket.get(), &QAbstractSocket::stateChanged, m_socket.get(),
                     [this](QAbstractSocket::SocketState state) {
                         if (state == QAbstractSocket::ConnectingState)
                             post(&QtTcpSocket::notifyConnecting);
                     });
    QObject::connect(m_socket.get(), &QAbstractSocket::errorOccurred, m_socket.get(),
                     [this](QAbstractSocket::SocketError error) {
                         int code = static_cast<int>(error);
                         QMetaObject::invokeMethod(
                             m_socket.get(),
                             [this, code]() mutable {
                                 if (m_handlers.error) m_handlers.error(code);
                             },
                             Qt::QueuedConnection);
                     });
}

// Deleting the QTcpSocket also drops the notifications still queued for it.
QtTcpSocket::~QtTcpSocket() = default;

void QtTcpSocket::setHandlers(Handlers handlers) {
    m_handlers = std::move(handlers);
}

void QtTcpSocket::post(void (QtTcpSocket::*notify)()) {
    QMetaObject::invokeMethod(
        m_socket.get(), [this, notify] { (this->*notify)(); }, Qt::QueuedConnection);
}

void QtTcpSocket::notifyReadable() {
    m_readablePending = false;
    // The handler may destroy this object: nothing of it is touched after the call.
    if (m_socket->bytesAvailable() > 0 && m_handlers.readable) m_handlers.readable();
}

void QtTcpSocket::notifyConnecting() {
    if (m_handlers.connecting) m_handlers.connecting();
}

bool QtTcpSocket::open(const std::string& host, uint16_t port) {
    m_socket->abort();
    m_readablePending = false;
    m_socket->connectToHost(QString::fromLatin1(host.data(), static_cast<qsizetype>(host.size())),
                            port);
    return true;
}

void QtTcpSocket::close() {
    // abort() also empties the read buffer, so a notification still queued finds nothing.
    m_socket->abort();
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
