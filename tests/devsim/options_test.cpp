// Device descriptions and the command line of the simulator.
#include "options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "text/cp932.h"

namespace devsim {
namespace {

TEST(DeviceSpec, ReadsEveryOptionAndWritesTextsAsCodePage932) {
    auto d = parseDevice(
        "127.0.0.2:2323,name=受付-A,mac=00:11:22:33:44:55,user=op,pass=p\\x2Cw,ver=2.01b 240101,"
        "model=CD34-ROOM,login=ready,var.foo=bar,fault=busy+two-prompts,close-at=&SAVE,slow=5,"
        "chunk=3,gap=7,uptime=100",
        23);
    ASSERT_TRUE(d.value) << d.error;
    EXPECT_EQ(d.value->address, 0x7F000002u);
    EXPECT_EQ(d.value->port, 2323);
    EXPECT_EQ(d.value->name, text::sj("受付") + "-A");
    EXPECT_EQ(d.value->password, "p,w");
    EXPECT_EQ(d.value->login, Login::Ready);
    EXPECT_EQ(d.value->variables.at(0), (std::pair<std::string, std::string>{"foo", "bar"}));
    const Faults& f = d.value->faults;
    EXPECT_TRUE(f.busy && f.twoPrompts && !f.silent);
    EXPECT_EQ(f.closeAt, "&save");
    EXPECT_EQ(f.slowMs + f.gapMs + static_cast<int>(f.chunk), 15);
}

TEST(DeviceSpec, DefaultsFollowTheAddressAndHostileAsksForPathBytes) {
    auto plain = parseDevice("127.0.0.9", 2323);
    ASSERT_TRUE(plain.value);
    EXPECT_EQ(plain.value->port, 2323);
    EXPECT_EQ(plain.value->mac, "00:EE:80:00:00:09");
    EXPECT_EQ(plain.value->name, "SIM-9");
    auto hostile = parseDevice("127.0.0.9,fault=hostile", 23);
    ASSERT_TRUE(hostile.value);
    EXPECT_NE(hostile.value->name.find("../"), std::string::npos);
    EXPECT_NE(hostile.value->mac.find('\x01'), std::string::npos);
}

TEST(DeviceSpec, RefusesWhatItCannotServe) {
    for (const char* deviceText :
         {"10.0.0.2", "127.0.0.0", "127.0.0.255", "127.0.0", "127.0.0.2:70000", "127.0.0.2:x",
          "127.0.0.2,name", "127.0.0.2,foo=1", "127.0.0.2,fault=nope", "127.0.0.2,slow=-1",
          "127.0.0.2,login=maybe", "127.0.0.2,name=\\x4", "127.0.0.2,name=\\q",
          "127.0.0.2,close-at="})
        EXPECT_FALSE(parseDevice(deviceText, 23).value) << deviceText;
}

TEST(CommandLine, TakesDevicesFromOptionsAndFileWithTheDefaultPort) {
    auto file = std::filesystem::temp_directory_path() / "devsim_options_test.txt";
    std::ofstream(file) << "# rooms\r\n127.0.0.3,name=B\r\n\r\n127.0.0.4:24\n";
    auto c = parseCommandLine({"--device", "127.0.0.2", "--devices", file.string(), "--port=2323",
                               "--search-port", "0", "--log"});
    std::filesystem::remove(file);
    ASSERT_TRUE(c.value) << c.error;
    ASSERT_EQ(c.value->devices.size(), 3u);
    EXPECT_EQ(c.value->devices[0].port, 2323);
    EXPECT_EQ(c.value->devices[1].name, "B");
    EXPECT_EQ(c.value->devices[2].port, 24);
    EXPECT_EQ(c.value->searchPort, 0);
    EXPECT_TRUE(c.value->log && c.value->search);
}

TEST(CommandLine, ReportsErrors) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--bogus"},
        {"--device"},
        {"--port", "x", "--device", "127.0.0.2"},
        {"--device", "127.0.0.2", "--device", "127.0.0.2:23"},
        {"--devices", "/nonexistent/devices.txt"},
    };
    for (const auto& args : bad) {
        auto c = parseCommandLine(args);
        EXPECT_FALSE(c.value);
        EXPECT_FALSE(c.error.empty());
    }
}

}  // namespace
}  // namespace devsim
