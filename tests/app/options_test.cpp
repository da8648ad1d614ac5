#include <gtest/gtest.h>

#include <vector>

#include "app/options.h"

namespace {

app::Options parse(std::vector<const char*> args) {
    args.insert(args.begin(), "qlx-setting");
    return app::ParseOptions(static_cast<int>(args.size()), const_cast<char**>(args.data()));
}

TEST(Options, OwnAddressIsTakenOnlyAsADottedIpv4Address) {
    struct Case {
        std::vector<const char*> args;
        const char* address;
        bool error;
    };
    const Case cases[] = {
        {{"--own-address", "127.0.0.1"}, "127.0.0.1", false},
        {{"--own-address=127.0.0.9"}, "127.0.0.9", false},
        {{"-platform", "offscreen", "--own-address", "127.0.0.1"}, "127.0.0.1", false},
        {{"--own-address"}, "", true},
        {{"--own-address", "127.0.0"}, "", true},
        {{"--own-address", "127.0.0.256"}, "", true},
        {{"--own-address", "127.0.0.1 "}, "", true},
        {{"--own-address", "localhost"}, "", true},
        {{"--own-adress", "127.0.0.1"}, "", true},
    };
    for (const Case& c : cases) {
        app::Options o = parse(c.args);
        EXPECT_EQ(o.ownAddress, c.address) << c.args.back();
        EXPECT_EQ(!o.error.empty(), c.error) << c.args.back();
    }
    EXPECT_TRUE(parse({"--help"}).help);
}

}  // namespace
