#include <gtest/gtest.h>

#include <vector>

#include "app/display_check.h"
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
        // Which texts are addresses is asserted with OwnAddress; two it does not try.
        {{"--own-address", "127.0.0.256"}, "", true},
        {{"--own-address", "127.0.0.1 "}, "", true},
        {{"--own-adress", "127.0.0.1"}, "", true},
    };
    for (const Case& c : cases) {
        app::Options o = parse(c.args);
        EXPECT_EQ(o.ownAddress, c.address) << c.args.back();
        EXPECT_EQ(!o.error.empty(), c.error) << c.args.back();
    }
    EXPECT_TRUE(parse({"--help"}).help);
}

// Qt stops the program on some options it does not know; every option reaches Qt only when it
// is one the program passes on on purpose.
TEST(Options, UnknownOptionsAreReportedHereAndQtGetsOnlyItsOwn) {
    struct Case {
        std::vector<const char*> args;
        const char* error;  // "" when accepted
        const char* platform;
    };
    const Case cases[] = {
        {{"-V"}, "unknown option -V", ""},
        {{"-v"}, "unknown option -v", ""},
        {{"--verbose"}, "unknown option --verbose", ""},
        {{"list.csv"}, "unexpected argument list.csv", ""},
        {{"-platform"}, "-platform needs a value", ""},
        {{"-platform", "offscreen"}, "", "offscreen"},
        {{"-style", "fusion", "-reverse", "-display", ":1"}, "", ""},
        {{"-geometry", "100x100+0+0", "-V"}, "unknown option -V", ""},
        {{"--version"}, "", ""},
    };
    for (const Case& c : cases) {
        app::Options o = parse(c.args);
        EXPECT_EQ(o.error, c.error) << c.args.front();
        EXPECT_EQ(o.platform, c.platform) << c.args.front();
    }
    EXPECT_TRUE(parse({"--version"}).version);
    EXPECT_FALSE(parse({"--help"}).version);
}

TEST(DisplayCheck, SaysWhatTheWindowLacksInOneLine) {
    using app::DisplayEnvironment;
    struct Case {
        const char* option;
        DisplayEnvironment env;
        bool displayOption;
        const char* platform;
        const char* missing;  // a part of the line; "" for none
    };
    const Case cases[] = {
        {"", {"", "", ""}, false, "xcb", "DISPLAY is not set"},
        {"", {"", ":0", ""}, false, "xcb", ""},
        {"", {"", "", ""}, true, "xcb", ""},
        {"", {"offscreen", "", ""}, false, "offscreen", ""},
        {"", {"wayland;xcb", "", ""}, false, "wayland", "WAYLAND_DISPLAY is not set"},
        {"", {"wayland-egl", "", "wayland-0"}, false, "wayland-egl", ""},
        {"offscreen", {"xcb", "", ""}, false, "offscreen", ""},
        {"", {"vnc:size=800x600", "", ""}, false, "vnc", ""},
    };
    for (const Case& c : cases) {
        std::string platform = app::PlatformName(c.option, c.env);
        EXPECT_EQ(platform, c.platform) << c.env.qpaPlatform;
        std::string line = app::MissingDisplayMessage(platform, c.env, c.displayOption);
        if (*c.missing == '\0') {
            EXPECT_EQ(line, "") << c.env.qpaPlatform;
        } else {
            EXPECT_NE(line.find(c.missing), std::string::npos) << line;
            EXPECT_EQ(line.find('\n'), std::string::npos) << line;
        }
    }

    const DisplayEnvironment away{"", ":99", ""};
    const std::vector<std::string> plugins = {"libqxcb.so", "libqoffscreen.so",
                                              "libqwayland-generic.so"};
    EXPECT_NE(
        app::PlatformFailureMessage("xcb", away, plugins).find("cannot open the display \":99\""),
        std::string::npos);
    EXPECT_NE(app::PlatformFailureMessage("xcb", away, {"libqoffscreen.so"})
                  .find("\"xcb\" is not installed"),
              std::string::npos);
    EXPECT_NE(app::PlatformFailureMessage("nosuch", away, plugins).find("not installed"),
              std::string::npos);
    EXPECT_NE(app::PlatformFailureMessage("wayland", away, plugins).find("could not be started"),
              std::string::npos);
}

}  // namespace
