// A PC whose host name and address the test sets.
#pragma once

#include "platform/host_address.h"

namespace testsupport {

class FakeHostAddress : public platform::HostAddress {
public:
    std::string hostName() override { return name; }
    std::optional<std::string> firstIpv4(const std::string& n) override {
        ++lookups;
        return n == name ? address : std::nullopt;
    }

    std::string name{"qlx-test-pc"};
    std::optional<std::string> address{"127.0.0.1"};
    int lookups = 0;
};

}  // namespace testsupport
