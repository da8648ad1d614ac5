// Whose files a run writes: records side by side, each writing under the name its record or its
// device gives it, never over another record's files, and each report row naming its own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fake_clock.h"
#include "fake_event_loop.h"
#include "fake_tcp_socket.h"
#include "fleet/fleet_run.h"
#include "silent_dialogs.h"

namespace {

namespace fs = std::filesystem;

// Record `no` on 127.0.0.no: the MAC address field as given, and a save name of its own when
// one is given.
std::string record(int no, const std::string& mac, const std::string& saveName = "") {
    std::string line = "00" + std::to_string(no) + ",F0000001,d" + std::to_string(no) +
                       ",127.0.0." + std::to_string(no) + ",80,23," + mac + ",,,a,p,x.txt,,";
    return saveName.empty() ? line : line + "," + saveName;
}

// A whole check, with the MAC address the device reports; "refuse": the login is refused.
std::vector<std::string> answers(const std::string& mac) {
    if (mac == "refuse") return {"login Incorrect\r\n"};
    return {"login ready.\r\nUser ID:",
            "Password:",
            "\r\nWelcome\r\nQLX> ",
            "ver V1.23\r\nQLX> ",
            "?ifPhysAddress=" + mac + "\r\nQLX> ",
            "?sysName=\"ROOM\"\r\nQLX> ",
            "&save\r\n.a=7\r\nLOAD_END\r\nQLX> ",
            "log 20\r\n12/07 boot\r\n---------- end\r\nQLX> ",
            "QLX> ",
            "QLX> ",
            "bye.\r\n"};
}

std::vector<std::string> files(const std::string& name, const std::string& log) {
    return {name + "q2.txt", log + "l20.txt", name + "R1.txt"};
}

TEST(OwnFiles, EachRecordWritesUnderItsOwnNameTheOwnTheListsTheDevicesOrAUniqueOne) {
    struct Case {
        const char* what;
        std::vector<std::string> lines;
        std::vector<std::string> reported;              // per record, what its device reports
        std::map<int, std::vector<std::string>> files;  // per record number, its row's files
    };
    const std::string kMac1 = "00:11:22:33:44:01", kMac2 = "00:11:22:33:44:02";
    const Case cases[] = {
        {"records without a MAC address take the one their device reports",
         {record(1, ""), record(2, ""), record(3, "")},
         {kMac1, kMac2, "refuse"},
         {{1, files("QLX001122334401", "QLX001122334401")},
          {2, files("QLX001122334402", "QLX001122334402")},
          {3, {}}}},
        {"a save name of its own, then the list's MAC address, go before the reported one",
         {record(1, "", "SITE"), record(2, "00:ee:80:00:00:02")},
         {kMac1, kMac2},
         {{1, files("SITE", "QLX001122334401")}, {2, files("QLX00ee80000002", "QLX001122334402")}}},
        {"a device that reports none: a name no other record of the list has",
         {record(1, ""), record(2, ""), record(3, "", "qlx-no001")},
         {"", "", kMac1},
         {{1, files("QLX-No001_", "QLX-No001_")},
          {2, files("QLX-No002", "QLX-No002")},
          {3, files("qlx-no001", "QLX001122334401")}}},
        {"a reported MAC address whose files another record is writing",
         {record(1, kMac1), record(2, "")},
         {kMac1, kMac1},
         {{1, files("QLX001122334401", "QLX001122334401")}, {2, files("QLX-No002", "QLX-No002")}}},
    };
    const fs::path dir =
        fs::path(::testing::TempDir()) / ("own_files_" + std::to_string(::getpid()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir);
        fs::create_directories(dir);
        auto list = std::make_shared<const devlist::LineStore>(c.lines);
        std::vector<fleet::FleetDevice> devices;
        for (size_t i = 0; i < c.lines.size(); ++i)
            devices.push_back({static_cast<int>(i) + 1, c.lines[i],
                               fleet::IdentityOf(list, static_cast<int>(i))});
        testsupport::FakeEventLoop loop;
        testsupport::FakeClock clock;
        testsupport::FakeNetwork network{loop};
        testsupport::SilentDialogs dialogs;
        fleet::ListWriter writer{""};
        fleet::FleetOptions options;
        options.parallel = static_cast<int>(devices.size());
        options.workFolder = dir;
        options.recordResults = false;
        fleet::FleetRun run(loop, clock, network, dialogs, writer, options, devices, {});
        run.start();
        loop.runPending();
        ASSERT_EQ(network.connections().size(), devices.size());  // all side by side
        // Chunk by chunk, each device in turn: every dialogue runs while the others do.
        for (size_t k = 0; k < answers(kMac1).size(); ++k) {
            for (const auto& conn : network.connections()) {
                const size_t i = static_cast<size_t>(conn->host().back() - '1');
                const std::vector<std::string> chunks = answers(c.reported[i]);
                if (k < chunks.size()) conn->deliver(chunks[k]);
                loop.runPending();
            }
            loop.advance(250);  // past the login pause
        }
        loop.advance(20000);
        ASSERT_TRUE(run.finished());
        std::map<int, std::vector<std::string>> written;
        for (const fleet::ReportRow& row : run.rows()) written[row.number] = row.files;
        EXPECT_EQ(written, c.files);
        std::vector<std::string> bare;
        for (const char* name : {"q2.txt", "R1.txt", "QLXl20.txt"})
            if (fs::exists(dir / name)) bare.push_back(name);
        EXPECT_TRUE(bare.empty());
    }
    fs::remove_all(dir);
}

}  // namespace
