// Sessions through App and the real network adapters against simulated devices. The files are
// compared with what the simulator itself answers (its dump and log texts), with the fixed
// clock's headers.
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
};

// The device files against what the simulator sends, over the real sockets: each answer of the
// device is one chunk up to the closing commands; from there on the prompts may come together.
TEST_F(SessionE2e, BulkRunWithALoginFailureInTheMiddle) {
    const std::vector<std::string> deviceTexts = {
        "127.0.12.2:23020,name=ROOM-A,mac=00:ee:80:e2:00:22",
        "127.0.12.3:23020,fault=wrong-password", "127.0.12.4:23020,mac=00:ee:80:e2:00:24"};
    startOn(deviceTexts);
    for (size_t row = 0; row < st().listView.size(); ++row)
        m_app->listEditor().rowClicked(static_cast<int>(row), true);
    m_dialogs.answer(true);
    sessions().bulkCheck();
    ASSERT_TRUE(awaitInformation(1, 20000));
    EXPECT_EQ(informations(),
              std::vector<std::string>{sj("一斉接続 3台 実行しました(成功:2 失敗:1)\n"
                                          "No.002 受付2 結果:#104 NG ID/PASS Login Error")});
    EXPECT_EQ(listField(0, devlist::kMessage), kOk);
    EXPECT_EQ(listField(1, devlist::kMessage), "#104 NG ID/PASS Login Error");
    EXPECT_EQ(listField(2, devlist::kMessage), kOk);
    EXPECT_EQ(listField(0, devlist::kLastSend), "2026/12/07 09:05:03");
    EXPECT_EQ(listField(0, devlist::kDeviceName), "ROOM-A");
    EXPECT_EQ(listField(0, devlist::kModelVersion), "1.05a 240331");
    // The run's report names all three, and its folder keeps the three transcripts.
    const std::string report = data("run-20261207-090503.csv");
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 4);
    EXPECT_EQ(std::distance(fs::directory_iterator(dataDir() / "run-20261207-090503"),
                            fs::directory_iterator()),
              3);
    std::vector<std::string> files;  // q2, l20 and R1 of the first and the third
    for (const auto& [no, deviceText] :
         {std::pair{1, deviceTexts[0]}, std::pair{3, deviceTexts[2]}}) {
        auto device = simDevice(deviceText);
        const std::string mac = device.config().mac, ip = devsim::ipText(device.config().address);
        const std::string name = sj("受付") + std::to_string(no), save = saveName(mac);
        EXPECT_EQ(listField(static_cast<size_t>(no - 1), devlist::kMacAddress), mac);
        files.insert(files.end(), {session::PostWriteDumpName(save), session::Log20Name(mac),
                                   session::CommLogName(save)});
        EXPECT_EQ(data(files.end()[-3]),
                  dumpFile("//--- SEND DATA ", name, ip, mac, device.dump()));
        const std::string log = devsim::logText(20);
        EXPECT_EQ(data(files.end()[-2]), "//--- LOG 20 DATA " + save + "IP:" + ip + " MAC:" + mac +
                                             kStamp + "\r\nlog 20\r\n" +
                                             log.substr(0, log.size() - 6) + "\r\n");
        const std::string prompt = "\r\n> \r\n";
        const std::string head = "//--- CONNECT LOG " + name + "IP:" + ip + " MAC:" + mac + kStamp +
                                 "\r\n\r\n" + "\r\nUser ID:\r\n\r\nPassword:\r\n" + prompt +
                                 "[ver]\r\r\nver=1.05a 240331" + prompt + "[?ifPhysAddress]\r\r\n" +
                                 "?ifPhysAddress=" + mac + prompt + "[?sysName]\r\r\n" +
                                 "?sysName=" + device.get("sysName") + prompt + "[&save]\r\r\n" +
                                 device.dump() + prompt + "[log 20]\r\r\nlog 20\r\n" + log +
                                 prompt + "[DATE 26/12/07]\r\r\n[TIME 09:05:03]\r\r\n[CR]\r\n";
        const std::string r1 = data(files.back());
        EXPECT_EQ(r1.substr(0, head.size()), head);
        EXPECT_NE(r1.find("[q]\r\r\n", head.size()), std::string::npos);
        EXPECT_TRUE(r1.ends_with(".\r\n\r\n")) << r1.substr(head.size());
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(dataFiles(), files);
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

// Nothing listens on the port: the session ends by its time-out (5 s), the result comes 0.5 s
// later. A silent device is the units' (the fake connection's), a refused connection the real
// adapter's.
TEST_F(SessionE2e, ARefusedConnectionEndsByTimeOut) {
    writeSettings();
    const std::string ip = "127.0.17.2";
    writeList({record(1, "dev", ip, 23030, "00:ee:80:e2:00:32")});
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

}  // namespace
}  // namespace e2e
