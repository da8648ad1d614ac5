#include "fleet/lan_search_rule.h"

#include "discovery/search_request.h"

namespace fleet {

OwnAddress ChooseOwnAddress(const std::string& commandLine, const std::string& settings,
                            const std::function<std::optional<std::string>()>& host) {
    if (!commandLine.empty()) return {commandLine, OwnAddressFrom::CommandLine, false};
    if (discovery::IsDottedIpv4(settings)) return {settings, OwnAddressFrom::Settings, false};
    OwnAddress own;
    own.settingsIgnored = !settings.empty();
    if (!host) return own;
    if (std::optional<std::string> address = host(); address && !address->empty()) {
        own.address = *address;
        own.from = OwnAddressFrom::Host;
    }
    return own;
}

SearchPasses::SearchPasses(platform::EventLoop& loop, std::function<bool()> pass,
                           std::function<void(bool)> done)
    : m_pass(std::move(pass)), m_done(std::move(done)), m_timer(loop.createTimer()) {
    m_timer->setCallback([this] {
        m_timer->stop();
        next();
    });
}

void SearchPasses::start() {
    if (m_running) return;
    m_running = true;
    m_sent = 0;
    next();
}

// Each pass is followed by its pause; the replies' time follows the pause of the last one.
void SearchPasses::next() {
    if (m_sent == kSearchPasses) {
        ++m_sent;
        m_timer->start(kSearchReplyWaitMs);
        return;
    }
    if (m_sent > kSearchPasses) {
        m_running = false;
        m_done(true);
        return;
    }
    ++m_sent;
    if (!m_pass()) {
        m_running = false;
        m_done(false);
        return;
    }
    m_timer->start(kSearchPassPauseMs);
}

}  // namespace fleet
