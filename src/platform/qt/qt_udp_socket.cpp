#include "platform/qt/qt_udp_socket.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkDatagram>

#include "text/cp932.h"

namespace platform::qt {
namespace {

// What the queue of read datagrams holds at most.
constexpr size_t kQueueDatagrams = 4096;
constexpr size_t kQueueBytes = size_t{4} << 20;

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
    QObject::connect(m_socket.get(), &QUdpSocket::readyRead, &m_context, [this] { readPending(); });
    readPending();
    return true;
}

void QtUdpSocket::close() {
    if (!m_socket) return;
    m_socket->disconnect(&m_context);
    m_socket->close();
    m_socket.reset();
    ++m_generation;  // notifications posted for the old socket find nothing to deliver
    m_posted = false;
    m_queue.clear();
    m_queuedBytes = 0;
}

void QtUdpSocket::readPending() {
    if (!m_socket) return;
    while (m_socket->hasPendingDatagrams()) {
        QNetworkDatagram received = m_socket->receiveDatagram();
        if (!received.isValid()) break;
        QByteArray data = received.data();
        if (m_queue.size() >= kQueueDatagrams ||
            m_queuedBytes + static_cast<size_t>(data.size()) > kQueueBytes) {
            continue;  // read all the same, so that Qt keeps signalling
        }
        Datagram d;
        d.bytes.assign(data.constData(), static_cast<size_t>(data.size()));
        QHostAddress from = received.senderAddress();
        bool mapped = false;
        quint32 v4 = from.toIPv4Address(&mapped);
        d.fromAddress =
            mapped ? QHostAddress(v4).toString().toStdString() : from.toString().toStdString();
        d.fromPort = static_cast<uint16_t>(received.senderPort());
        m_queuedBytes += d.bytes.size();
        m_queue.push_back(std::move(d));
    }
    if (!m_queue.empty()) post();
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
    if (m_queue.empty()) return;
    Datagram d = std::move(m_queue.front());
    m_queue.pop_front();
    m_queuedBytes -= d.bytes.size();
    // The next datagram gets a notification of its own, even if the receiver waits.
    if (!m_queue.empty()) post();
    if (m_receiver) m_receiver(d);
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
