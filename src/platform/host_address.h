// Who this PC is on the network: its host name and the address that name resolves to.
#pragma once

#include <optional>
#include <string>

namespace platform {

class HostAddress {
public:
    virtual ~HostAddress() = default;
    virtual std::string hostName() = 0;
    // The first IPv4 address a lookup of name returns, dotted; nullopt when there is none.
    virtual std::optional<std::string> firstIpv4(const std::string& name) = 0;
};

}  // namespace platform
