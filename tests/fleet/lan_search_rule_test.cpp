// The LAN search's rules both front ends bind: which address is the PC's own, and the passes.
#include "fleet/lan_search_rule.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fake_event_loop.h"

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
        {"", "x", std::nullopt, "", OwnAddressFrom::Nowhere, true, false},
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

// Four requests 200 ms apart, a second more for the replies after the last one's pause; a failed
// pass ends the search at once. The loop keeps running meanwhile: nothing waits in a handler.
TEST(SearchPasses, FourPassesThenTheReplyTimeOrAFailedPassEndsIt) {
    struct Case {
        int failAt;  // 0: none fails
        std::vector<uint32_t> passesAt;
        int doneAt;
        bool complete;
    } cases[] = {
        {0, {0, 200, 400, 600}, 1800, true},
        {1, {0}, 0, false},
        {3, {0, 200, 400}, 400, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failAt);
        testsupport::FakeEventLoop loop;
        std::vector<uint32_t> passes;
        int doneAt = -1;
        bool complete = false;
        fleet::SearchPasses search(
            loop,
            [&] {
                passes.push_back(loop.tickCount());
                return static_cast<int>(passes.size()) != c.failAt;
            },
            [&](bool all) {
                doneAt = static_cast<int>(loop.tickCount());
                complete = all;
            });
        search.start();
        if (search.running()) search.start();  // a second start while it runs changes nothing
        loop.advance(5000);
        EXPECT_EQ(passes, c.passesAt);
        EXPECT_EQ(doneAt, c.doneAt);
        EXPECT_EQ(complete, c.complete);
        EXPECT_FALSE(search.running());
    }
}

}  // namespace
