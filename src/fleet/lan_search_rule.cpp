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

}  // namespace fleet
