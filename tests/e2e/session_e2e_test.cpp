// Single and bulk sessions through App against simulated devices. The files are compared with
// what the simulator itself answers (its dump and log texts), with the fixed clock's headers.
#include "dialogue.h"
#include "e2e_fixture.h"
#include "options.h"
#include "session/file_names.h"

namespace e2e {
namespace {

constexpr char kStamp[] = " 26/12/07 09:05:03";  // the fake clock, as the headers write it
const std::string kOk = sj("#000 OK 正常送信");

// The simulated device of `deviceText`, to build the expected bytes from what it sends.
devsim::DeviceState simDevice(const std::string& deviceText) {
    auto parsed = devsim::parseDevice(deviceText, devsim::kDefaultTelnetPort);
    EXPECT_TRUE(parsed.value) << parsed.error;
    return devsim::DeviceState(parsed.value.value_or(devsim::DeviceConfig{}));
}

// A dump file: its header line (which keeps the CR of the echo) and the dump up to the line
// before "LOAD_END".
std::string dumpFile(const std::string& title, const std::string& name, const std::string& ip,
                     const std::string& mac, const std::string& dump) {
    const std::string tail = "\r\nLOAD_END";
    return title + name + "IP:" + ip + " MAC:" + mac + kStamp + "\r\r\n" +
           dump.substr(0, dump.size() - tail.size()) + "\r\n";
}

class SessionE2e : public E2eTest {
protected:
    // One listed device per deviceText, at the deviceText's address and port, with the MAC it
    // reports.
    shell::App& startOn(const std::vector<std::string>& deviceTexts,
                        const std::string& extra = {}) {
        std::vector<std::string> list;
        for (size_t k = 0; k < deviceTexts.size(); ++k) {
            auto device = simDevice(deviceTexts[k]);
            const auto& c = device.config();
            list.push_back(record(static_cast<int>(k + 1), sj("受付") + std::to_string(k + 1),
                                  devsim::ipText(c.address), c.port, c.mac));
        }
        writeSettings(extra);
        writeList(list);
        startSim(deviceTexts);
        return startApp();
    }
    std::string saveName(const std::string& mac) { return "QLX" + devlist::MacDigits(mac); }
    // The device files in the work folder; a bulk run's report and its folder ("run-...") and
    // the settings history apart.
    std::vector<std::string> dataFiles() {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dataDir()))
            if (!e.path().filename().string().starts_with("run-") &&
                e.path().filename() != "history.git")
                out.push_back(e.path().filename());
        std::sort(out.begin(), out.end());
        return out;
    }
    void bulkCheckAll() {
        for (size_t row = 0; row < st().listView.size(); ++row)
            m_app->listEditor().rowClicked(static_cast<int>(row), true);
        m_dialogs.answer(true);
        sessions().bulkCheck();
    }
};

TEST_F(SessionE2e, SingleCheckStoresTheDeviceAndItsFiles) {
    const std::string deviceText = "127.0.10.2:23000,name=ROOM-A,mac=00:ee:80:e2:00:02";
    const std::string mac = "00:ee:80:e2:00:02", ip = "127.0.10.2", name = sj("受付1");
    auto& app = startOn({deviceText});
    app.selectRow(0);
    m_dialogs.answer(true);
    sessions().singleCheck();
    ASSERT_TRUE(awaitInformation(1, 15000));
    EXPECT_EQ(informations(), std::vector<std::string>{sj("No.001 結果:") + kOk});

    EXPECT_EQ(listField(0, devlist::kLastSend), "2026/12/07 09:05:03");
    EXPECT_EQ(listField(0, devlist::kMessage), kOk);
    EXPECT_EQ(listField(0, devlist::kMacAddress), mac);
    EXPECT_EQ(listField(0, devlist::kDeviceName), "ROOM-A");
    EXPECT_EQ(listField(0, devlist::kModelVersion), "1.05a 240331");

    const std::string save = saveName(mac);
    const std::string q2 = session::PostWriteDumpName(save), l20 = session::Log20Name(mac),
                      r1 = session::CommLogName(save);
    std::vector<std::string> files = {q2, l20, r1};
    std::sort(files.begin(), files.end());
    EXPECT_EQ(dataFiles(), files);
    auto device = simDevice(deviceText);
    EXPECT_EQ(data(q2), dumpFile("//--- SEND DATA ", name, ip, mac, device.dump()));
    std::string log = devsim::logText(20);
    EXPECT_EQ(data(l20), "//--- LOG 20 DATA " + save + "IP:" + ip + " MAC:" + mac + kStamp +
                             "\r\nlog 20\r\n" + log.substr(0, log.size() - 6) + "\r\n");

    // Each answer of the device is one chunk up to the closing commands; from there on the
    // prompts may come together.
    const std::string prompt = "\r\n> \r\n";
    std::string dump = device.dump();
    std::string head = "//--- CONNECT LOG " + name + "IP:" + ip + " MAC:" + mac + kStamp +
                       "\r\n\r\n" + "\r\nUser ID:\r\n\r\nPassword:\r\n" + prompt +
                       "[ver]\r\r\nver=1.05a 240331" + prompt + "[?ifPhysAddress]\r\r\n" +
                       "?ifPhysAddress=" + mac + prompt + "[?sysName]\r\r\n" +
                       "?sysName=\"ROOM-A\"" + prompt + "[&save]\r\r\n" + dump + prompt +
                       "[log 20]\r\r\nlog 20\r\n" + log + prompt +
                       "[DATE 26/12/07]\r\r\n[TIME 09:05:03]\r\r\n[CR]\r\n";
    std::string r1Bytes = data(r1);
    EXPECT_EQ(r1Bytes.substr(0, head.size()), head);
    EXPECT_NE(r1Bytes.find("[q]\r\r\n", head.size()), std::string::npos);
    EXPECT_TRUE(r1Bytes.ends_with(".\r\n\r\n")) << r1Bytes.substr(head.size());
}

TEST_F(SessionE2e, BulkRunWithALoginFailureInTheMiddle) {
    const std::vector<std::string> deviceTexts = {"127.0.12.2:23020,mac=00:ee:80:e2:00:22",
                                                  "127.0.12.3:23020,fault=wrong-password",
                                                  "127.0.12.4:23020,mac=00:ee:80:e2:00:24"};
    startOn(deviceTexts);
    bulkCheckAll();
    ASSERT_TRUE(awaitInformation(1, 20000));
    EXPECT_EQ(informations(),
              std::vector<std::string>{sj("一斉接続 3台 実行しました(成功:2 失敗:1)\n"
                                          "No.002 受付2 結果:#104 NG ID/PASS Login Error")});
    EXPECT_EQ(listField(0, devlist::kMessage), kOk);
    EXPECT_EQ(listField(1, devlist::kMessage), "#104 NG ID/PASS Login Error");
    EXPECT_EQ(listField(2, devlist::kMessage), kOk);
    EXPECT_EQ(dataFiles().size(), 6u);  // q2, l20 and R1 of the first and the third
    // The run's report names all three, and its folder keeps the three transcripts.
    const std::string report = data("run-20261207-090503.csv");
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 4);
    EXPECT_EQ(std::distance(fs::directory_iterator(dataDir() / "run-20261207-090503"),
                            fs::directory_iterator()),
              3);
    for (const auto& [no, deviceText] :
         {std::pair{1, deviceTexts[0]}, std::pair{3, deviceTexts[2]}}) {
        auto device = simDevice(deviceText);
        const std::string mac = device.config().mac, ip = devsim::ipText(device.config().address);
        EXPECT_EQ(
            data(session::PostWriteDumpName(saveName(mac))),
            dumpFile("//--- SEND DATA ", sj("受付") + std::to_string(no), ip, mac, device.dump()));
    }
    EXPECT_EQ(m_dialogs.shown().size(), 1u + 1u);  // the question and the summary

    // The window records its runs in the settings history as the runner does; its commit is
    // done once the window is gone.
    m_app.reset();
    std::string error;
    auto store = history::Store::open(dataDir() / "history.git", false, error);
    ASSERT_TRUE(store) << error;
    const auto log = store->log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(log[0].message.starts_with("check window: 3 selected, 2 ok, 1 failed"))
        << log[0].message;
    EXPECT_TRUE(store->latest(saveName("00:ee:80:e2:00:24") + ".txt"));
}

// Nothing answers: the session ends by its time-out (5 s), the result comes 0.5 s later.
struct Silent {
    const char* name;
    const char* ip;          // each case on its own loopback range: they may run at once
    const char* deviceText;  // nullptr: nothing listens on the port
};
void PrintTo(const Silent& s, std::ostream* os) {
    *os << s.name;
}
class SilentDevice : public SessionE2e, public ::testing::WithParamInterface<Silent> {};

TEST_P(SilentDevice, EndsByTimeOut) {
    writeSettings();
    const std::string ip = GetParam().ip;
    writeList({record(1, "dev", ip, 23030, "00:ee:80:e2:00:32")});
    if (GetParam().deviceText) startSim({GetParam().deviceText});
    auto& app = startApp();
    app.selectRow(0);
    m_dialogs.answer(true);
    sessions().singleCheck();
    ASSERT_TRUE(awaitInformation(1, 9000));
    EXPECT_EQ(informations(), std::vector<std::string>{sj("No.001 結果:#404 NG Time Out")});
    EXPECT_EQ(listField(0, devlist::kMessage), "#404 NG Time Out");
    EXPECT_TRUE(fs::is_empty(dataDir()));
    const auto log = commLog();
    for (std::string line : {"No.001 (" + ip + ") 接続中", "No.001 (" + ip + ") Connected"})
        EXPECT_EQ(std::count(log.begin(), log.end(), sj(line)), 1) << line;
}
INSTANTIATE_TEST_SUITE_P(E2e, SilentDevice,
                         ::testing::Values(Silent{"Silent", "127.0.16.2",
                                                  "127.0.16.2:23030,fault=silent"},
                                           Silent{"Refused", "127.0.17.2", nullptr}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
