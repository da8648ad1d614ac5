// The host-address port on QHostInfo: the PC's host name and a lookup of its addresses.
#pragma once

#include "platform/host_address.h"

namespace platform::qt {

class QtHostAddress : public HostAddress {
public:
    std::string hostName() override;
    std::optional<std::string> firstIpv4(const std::string& name) override;
};

}  // namespace platform::qt
