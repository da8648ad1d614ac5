#include "fleet/lan_search_run.h"

#include "discovery/search_request.h"

namespace fleet {

LanSearchRun::LanSearchRun(platform::EventLoop& loop, platform::UdpFactory& udp, Port port,
                           devlist::LineStore& replyStore, devlist::LineStore& regStore,
                           Hooks hooks)
    : m_udp(udp),
      m_port(port),
      m_replyStore(replyStore),
      m_regStore(regStore),
      m_hooks(std::move(hooks)),
      m_timer(loop.createTimer()) {
    m_timer->setCallback([this] {
        m_timer->stop();
        next();
    });
}

LanSearchRun::~LanSearchRun() = default;

void LanSearchRun::start() {
    if (m_running) return;
    m_running = true;
    m_sent = 0;
    m_replies = 0;
    m_dropSaid = false;
    m_replyStore.clear();
    m_regStore.clear();
    next();
}

// Each pass is followed by its pause; the replies' time follows the pause of the last one.
void LanSearchRun::next() {
    if (m_sent > kSearchPasses) {
        end(true);
    } else if (m_sent++ == kSearchPasses) {
        m_timer->start(kSearchReplyWaitMs);
    } else if (pass()) {
        m_timer->start(kSearchPassPauseMs);
    } else {
        end(false);
    }
}

void LanSearchRun::end(bool complete) {
    if (m_hooks.done) m_hooks.done(complete);
    m_running = false;
}

void LanSearchRun::close() {
    if (m_socket) m_socket->close();
}

discovery::MergeResult LanSearchRun::merge(devlist::LineStore list) const {
    return discovery::MacCheckIns(m_regStore, std::move(list));
}

bool LanSearchRun::pass() {
    if ((m_port == Port::RebindAtEachPass || !m_socket || !m_socket->isOpen()) && !bind())
        return false;
    std::optional<std::string> own = m_hooks.ownAddress();
    if (!own) return false;
    return send(*own);
}

bool LanSearchRun::send(const std::string& own) {
    const discovery::OwnOctets octets = discovery::ParseOwnAddress(own);
    const std::string request = discovery::BuildSearchRequest(octets);
    std::string target = discovery::TargetHost(octets);
    if (m_hooks.sending) m_hooks.sending(own, target);
    if (m_port == Port::RebindAtEachPass && !bind()) return false;
    using Result = platform::UdpSocket::SendResult;
    if (m_socket->sendTo(target, discovery::kSearchPort, request) == Result::Sent) return true;
    if (!m_hooks.otherHost) return true;
    if (std::optional<std::string> other = m_hooks.otherHost(target)) target = *other;
    if (m_socket->sendTo(target, discovery::kSearchPort, request) == Result::Sent) return true;
    if (m_hooks.refused) m_hooks.refused();
    return false;
}

bool LanSearchRun::bind() {
    if (!m_socket) {
        m_socket = m_udp.createUdpSocket();
        m_socket->setReceiver([this](const platform::Datagram& d) { onDatagram(d); });
    }
    if (m_socket->open(discovery::kReplyPort)) return true;
    if (m_hooks.portRefused) m_hooks.portRefused();
    return false;
}

void LanSearchRun::onDatagram(const platform::Datagram& d) {
    ++m_replies;
    const size_t dropped = m_collector.dropped();
    const bool accepted = discovery::ReceiveReply(m_replyStore, m_regStore, m_collector,
                                                  d.fromAddress, d.fromPort, d.bytes);
    // Once per search: a flood would otherwise say it at every datagram.
    if (m_collector.dropped() != dropped && !m_dropSaid) {
        m_dropSaid = true;
        if (m_hooks.dropping) m_hooks.dropping();
    }
    if (m_hooks.received) m_hooks.received(d, accepted);
}

}  // namespace fleet
