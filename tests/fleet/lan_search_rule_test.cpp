// Which address the LAN search takes as the PC's own, for both front ends. The passes are
// asserted with the search run (lan_search_run_test).
#include "fleet/lan_search_rule.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using fleet::OwnAddressFrom;

TEST(OwnAddress, CommandLineThenSettingsThenTheHostAskedOnlyThen) {
    struct Case {
        const char* commandLine;
        const char* settings;
        std::optional<std::string> host;  // nullopt: no host given at all
        const char* address;
        OwnAddressFrom from;
        bool ignored;
        bool asked;
    } cases[] = {
        {"127.0.0.5", "127.0.0.6", "127.0.0.7", "127.0.0.5", OwnAddressFrom::CommandLine, false,
         false},
        // The command line wins without a look at the settings file's value.
        {"127.0.0.5", "junk", "127.0.0.7", "127.0.0.5", OwnAddressFrom::CommandLine, false, false},
        {"", "127.0.0.6", "127.0.0.7", "127.0.0.6", OwnAddressFrom::Settings, false, false},
        {"", "127.0.0", "127.0.0.7", "127.0.0.7", OwnAddressFrom::Host, true, true},
        {"", "", "127.0.0.7", "127.0.0.7", OwnAddressFrom::Host, false, true},
        {"", "", "", "", OwnAddressFrom::Nowhere, false, true},
        // The window's start-up gives no host: what "ownip" holds that is no address is noted.
        {"", "x", std::nullopt, "", OwnAddressFrom::Nowhere, true, false},
        {"", "300.0.0.1", std::nullopt, "", OwnAddressFrom::Nowhere, true, false},
        {"", "127.0.0.1 x", std::nullopt, "", OwnAddressFrom::Nowhere, true, false},
        {"", "localhost", std::nullopt, "", OwnAddressFrom::Nowhere, true, false},
        {"", "", std::nullopt, "", OwnAddressFrom::Nowhere, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.commandLine) + "|" + c.settings);
        bool asked = false;
        std::function<std::optional<std::string>()> host;
        if (c.host) {
            host = [&] {
                asked = true;
                return c.host->empty() ? std::nullopt : c.host;
            };
        }
        const fleet::OwnAddress own = fleet::ChooseOwnAddress(c.commandLine, c.settings, host);
        EXPECT_EQ(own.address, c.address);
        EXPECT_EQ(own.from, c.from);
        EXPECT_EQ(own.settingsIgnored, c.ignored);
        EXPECT_EQ(asked, c.asked);
    }
}

}  // namespace
