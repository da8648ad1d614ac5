// What a send would change, judged from a check's dump: assignments against the device's
// variables by name (with or without the leading "."), the other lines sent as they are.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fake_clock.h"
#include "fake_event_loop.h"
#include "fake_tcp_socket.h"
#include "file_bytes.h"
#include "fleet/dump_diff.h"
#include "fleet/fleet_run.h"
#include "fleet/run_settings.h"
#include "silent_dialogs.h"
#include "text/cp932.h"

namespace {

// A check's dump as the dialogue writes it: header (ending CR CR LF), the "&save" echo, lines.
std::string dump(const std::vector<std::string>& lines) {
    std::string out =
        "//--- SEND DATA roomIP:127.0.0.5 MAC:00:EE:80:00:00:05 24/05/06 07:08:11\r\r\n&save\r\n";
    for (const auto& l : lines) out += l + "\r\n";
    return out;
}

TEST(PlanSend, AssignmentsAgainstTheDumpOtherLinesSent) {
    const std::string sj = text::sj("会議室");
    struct Case {
        const char* what;
        std::vector<std::string> device, settings;
        std::vector<std::string> expected;  // PlanLines
        std::vector<std::string> names;     // PlanNames
    } cases[] = {
        {"every assignment holds", {".a=1", ".b=2"}, {".b=2", ".a=1"}, {"no change"}, {}},
        {"no settings lines", {".a=1"}, {}, {"no change"}, {}},
        {"changed and added, by name whatever the order",
         {".mask=255.0.0.0", ".sysName=\"A\""},
         {".sysName=\"B\"", ".ntp=127.0.0.1", ".mask=255.255.0.0"},
         {"would change .mask: 255.0.0.0 -> 255.255.0.0", "would add .ntp: 127.0.0.1",
          "would change .sysName: \"A\" -> \"B\""},
         {".mask", ".ntp", ".sysName"}},
        {"names compared without the leading dot",
         {"mask=255.0.0.0", "ntp=1.2.3.4"},
         {".mask=255.0.0.0", ".ntp=127.0.0.1"},
         {"would change .ntp: 1.2.3.4 -> 127.0.0.1"},
         {".ntp"}},
        {"the settings may leave the dot out too",
         {".a=1"},
         {"a=2"},
         {"would change a: 1 -> 2"},
         {"a"}},
        {"the last assignment of a name is what the device keeps",
         {".a=1"},
         {".a=2", ".a=1", ".b=1", ".b=3"},
         {"would add .b: 3"},
         {".b"}},
        {"other lines are sent, not compared, in file order",
         {".trap=10.0.0.1"},
         {"unset .trap", "", "DATE 24/01/01", "a b=c"},
         {"no change", "would send: unset .trap", "would send: (empty)",
          "would send: DATE 24/01/01", "would send: a b=c"},
         {}},
        {"empty values and control bytes shown as diff shows them",
         {".a=", ".b=x"},
         {".a=\x1b[2J", ".b="},
         {"would change .a: (empty) -> \\x1B[2J", "would change .b: x -> (empty)"},
         {".a", ".b"}},
        {"a name listed twice holds only when both values are the new one",
         {".a=1", ".a=2", ".b=5", ".b=5"},
         {".a=2", ".b=5"},
         {"would change .a: 1 -> 2"},
         {".a"}},
        {"code page 932 values kept as bytes",
         {".sysName=\"" + sj + "\""},
         {".sysName=\"" + sj + "A\""},
         {"would change .sysName: \"" + sj + "\" -> \"" + sj + "A\""},
         {".sysName"}},
        {"the dump's own lines are no variables",
         {"LOAD_END garbage", ".a=1"},
         {"&save"},
         {"no change", "would send: &save"},
         {}},
    };
    for (const Case& c : cases) {
        auto plan = fleet::PlanSend(dump(c.device), c.settings);
        EXPECT_EQ(fleet::PlanLines(plan), c.expected) << c.what;
        EXPECT_EQ(fleet::PlanNames(plan), c.names) << c.what;
    }
}

// A plan's run records nothing: the list stays byte for byte, even for devices that fail, and
// nothing counts as gone or as a failed write.
TEST(PlanRun, RecordsNothingInTheList) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::path(::testing::TempDir()) / ("plan_run_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    devlist::LineStore list;
    std::vector<fleet::FleetDevice> devices;
    for (int i = 1; i <= 3; ++i) {
        list.lines().push_back("00" + std::to_string(i) + ",F0000001,d" + std::to_string(i) +
                               ",127.0.0." + std::to_string(i) + ",80,23,,,,a,p,x.txt,,");
        devices.push_back({i,
                           list[static_cast<size_t>(i - 1)],
                           {i - 1, list[static_cast<size_t>(i - 1)], nullptr}});
    }
    const std::string path = (dir / "list.csv").string();
    testsupport::writeBytes(path, list.toBytes());

    testsupport::FakeEventLoop loop;
    testsupport::FakeClock clock;
    testsupport::FakeNetwork network{loop};
    testsupport::SilentDialogs dialogs;
    fleet::FleetOptions options;
    options.parallel = 2;
    options.workFolder = dir / "plan";
    bool finished = false;
    fleet::FleetRun::Hooks hooks;
    hooks.finished = [&finished] { finished = true; };
    fleet::FleetRun run(loop, clock, network, dialogs, nullptr, options, devices, hooks);
    run.start();
    loop.advance(40000);  // silent devices: each ends by its time-out
    EXPECT_TRUE(finished);
    EXPECT_EQ(run.rows().size(), 3u);
    EXPECT_EQ(run.ngCount(), 3);
    EXPECT_EQ(run.goneCount(), 0);
    EXPECT_EQ(run.writeFailures(), 0);
    EXPECT_EQ(testsupport::readBytes(path), list.toBytes());
    EXPECT_FALSE(fs::exists(path + ".lock"));
    fs::remove_all(dir);
}

}  // namespace
