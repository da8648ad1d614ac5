#include "platform/qt/qt_udp_socket.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkDatagram>

#include "text/cp932.h"

namespace platform::qt {
namespace {

// A dotted address as it stands, else the first IPv4 address the name resolves to.
std::optional<QHostAddress> resolveIpv4(const std::string& host) {
    QString name = QString::fromStdString(text::decode(host));
    QHostAddress address;
    if (address.setAddress(name)) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol) return address;
        return std::nullopt;
    }
    if (name.isEmpty()) return std::nullopt;
    for (const QHostAddress& found : QHostInfo::fromName(name).addresses()) {
        if (found.protocol() == QAbstractSocket::IPv4Protocol) return found;
    }
    return std::nullopt;
}

}  // namespace

QtUdpSocket::~QtUdpSocket() {
    close();
}

void QtUdpSocket::setReceiver(std::function<void(const Datagram&)> receiver) {
    m_receiver = std::move(receiver);
}

bool QtUdpSocket::open(uint16_t localPort) {
    close();
    auto socket = std::make_unique<QUdpSocket>();
    // Exclusive: with the platform's default (address reuse) a second program could bind the
    // same port and the replies would be split between the two.
    if (!socket->bind(QHostAddress::AnyIPv4, localPort, QAbstractSocket::DontShareAddress)) {
        return false;
    }
    // Qt allows broadcast on every UDP socket it creates, so the directed broadcast address
    // needs nothing more here.
    m_socket = std::move(socket);
    ++m_generation;
    QObject::connect(m_socket.get(), &QUdpSocket::readyRead, &m_context, [this] { post(); });
    if (m_socket->hasPendingDatagrams()) post();
    return true;
}

void QtUdpSocket::close() {
    if (!m_socket) return;
    m_socket->disconnect(&m_context);
    m_socket->close();
    m_socket.reset();
    ++m_generation;  // notifications posted for the old socket find nothing to deliver
    m_posted = false;
}

void QtUdpSocket::post() {
    if (m_posted) return;
    m_posted = true;
    uint64_t generation = m_generation;
    QMetaObject::invokeMethod(
        &m_context, [this, generation] { deliver(generation); }, Qt::QueuedConnection);
}

void QtUdpSocket::deliver(uint64_t generation) {
    if (generation != m_generation || !m_socket) return;
    m_posted = false;
    if (!m_socket->hasPendingDatagrams()) return;
    QNetworkDatagram received = m_socket->receiveDatagram();
    // The next datagram gets a notification of its own, even if the receiver waits.
    if (m_socket->hasPendingDatagrams()) post();
    if (!received.isValid() || !m_receiver) return;
    Datagram d;
    QByteArray data = received.data();
    d.bytes.assign(data.constData(), static_cast<size_t>(data.size()));
    QHostAddress from = received.senderAddress();
    bool mapped = false;
    quint32 v4 = from.toIPv4Address(&mapped);
    d.fromAddress =
        mapped ? QHostAddress(v4).toString().toStdString() : from.toString().toStdString();
    d.fromPort = static_cast<uint16_t>(received.senderPort());
    m_receiver(d);
}

UdpSocket::SendResult QtUdpSocket::sendTo(const std::string& host, uint16_t port,
                                          std::string_view bytes) {
    std::optional<QHostAddress> address = resolveIpv4(host);
    if (!address) return SendResult::InvalidHost;
    if (m_socket) {
        m_socket->writeDatagram(bytes.data(), static_cast<qint64>(bytes.size()), *address, port);
    }
    return SendResult::Sent;
}

std::unique_ptr<UdpSocket> QtUdpFactory::createUdpSocket() {
    return std::make_unique<QtUdpSocket>();
}

}  // namespace platform::qt
