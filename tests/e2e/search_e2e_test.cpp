// The LAN search through App with the real UDP adapter: qlx-devsim answers on 0.0.0.0:15580 and
// the search, with its own address set to 127.0.0.1, broadcasts to 127.0.0.255.
#include <algorithm>

#include "e2e_fixture.h"
#include "shell/lan_search.h"

namespace e2e {
namespace {

TEST_F(E2eTest, LanSearchMergesTheSimulatedDevices) {
    startSim({"127.0.0.2:23100,mac=00:ee:80:e2:10:02,model=AB12-NODE02",
              "127.0.0.3:23100,mac=00:ee:80:e2:10:03,model=AB12-NODE03",
              "127.0.0.4:23100,mac=00:ee:80:e2:10:04,model=AB12-NODE04"},
             true);
    writeSettings();
    // Listed under another address; listed with a lower-case MAC, which the search does not
    // recognise as the same device.
    writeList({record(1, "moved", "127.0.0.9", 23100, "00:EE:80:E2:10:02"),
               record(2, "lower", "127.0.0.3", 23100, "00:ee:80:e2:10:03")});
    auto& app = startApp("127.0.0.1");
    app.listEditor().enterListEdit();
    app.lanSearch()->run();
    ASSERT_TRUE(runUntil([&] { return !app.lanSearch()->running(); }, 10000));

    EXPECT_TRUE(informations().empty());
    const auto& view = st().viewStore;
    // Only this test's devices count: a simulator that someone else runs on this machine
    // answers the search too.
    ASSERT_GE(view.size(), 4u);
    EXPECT_EQ(devlist::FieldGet(devlist::kIpAddress, view[0]), "127.0.0.2");
    EXPECT_EQ(devlist::FieldGet(devlist::kListName, view[0]), "moved");
    EXPECT_EQ(view[1], record(2, "lower", "127.0.0.3", 23100, "00:ee:80:e2:10:03"));
    std::vector<std::string> added;
    for (size_t k = 2; k < view.size(); ++k) {
        EXPECT_EQ(devlist::FieldGet(devlist::kNo, view[k]), devlist::ZeroPad(int(k) + 1, 3));
        std::string mac = devlist::FieldGet(devlist::kMacAddress, view[k]);
        if (mac.starts_with("00:EE:80:E2:10:"))
            added.push_back(devlist::FieldGet(devlist::kIpAddress, view[k]) + " " + mac);
    }
    std::sort(added.begin(), added.end());
    EXPECT_EQ(added, (std::vector<std::string>{"127.0.0.3 00:EE:80:E2:10:03",
                                               "127.0.0.4 00:EE:80:E2:10:04"}));

    std::vector<std::string> log = commLog();
    std::vector<std::string> expected = {sj("No.001 IP変更 127.0.0.9 -> 127.0.0.2"),
                                         sj("127.0.0.3  検索> AB12-NODE03を登録します。"),
                                         sj("127.0.0.4  検索> AB12-NODE04を登録します。")};
    for (const auto& line : expected)
        EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << text::decode(line);
    EXPECT_TRUE(st().isEnabled(shell::Control::Apply));
    // The list file is untouched until "適用".
    EXPECT_EQ(listField(0, devlist::kIpAddress), "127.0.0.9");
}

}  // namespace
}  // namespace e2e
