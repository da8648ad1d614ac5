// The address the LAN search takes as the PC's own, as both front ends choose it.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace fleet {

enum class OwnAddressFrom { CommandLine, Settings, Host, Nowhere };

struct OwnAddress {
    std::string address;  // empty: none
    OwnAddressFrom from = OwnAddressFrom::Nowhere;
    // The settings file's "ownip" was looked at and holds no dotted IPv4 address.
    bool settingsIgnored = false;
};

// The address the search takes as the PC's own: the command line's, else the settings file's
// "ownip" when it is a dotted IPv4 address (it is written by hand), else the host's. The host is
// asked only when it comes to that; a front end that gives no host gets Nowhere then.
OwnAddress ChooseOwnAddress(const std::string& commandLine, const std::string& settings,
                            const std::function<std::optional<std::string>()>& host);

}  // namespace fleet
