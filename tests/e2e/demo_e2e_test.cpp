// The demo as scripts/run sets it up: its list, its copy of the program and qlx-devsim serving
// the list's devices; a bulk check through App leaves every result in the demo's list file.
#include <signal.h>

#include <cstdio>
#include <cstdlib>

#include "e2e_fixture.h"

namespace e2e {
namespace {

class DemoE2e : public E2eTest {
protected:
    void TearDown() override {
        if (m_demoSim > 0) kill(m_demoSim, SIGTERM);
        E2eTest::TearDown();
    }
    pid_t m_demoSim = 0;
};

TEST_F(DemoE2e, BulkCheckOverTheDemoList) {
    const fs::path demo = m_dir / "demo";
    const std::string bin = fs::path(QLX_DEVSIM_PATH).parent_path().string();
    const std::string command = "bash '" QLX_SOURCE_DIR "/scripts/demo-setup' --fresh '" +
                                demo.string() + "' '" + bin + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[64] = {};
    bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    int status = pclose(pipe);
    // The demo's addresses and port are fixed: a demo that someone runs on this machine holds them.
    if (readBytes(demo / "devsim.log").find("Address already in use") != std::string::npos)
        GTEST_SKIP() << "the demo's devices are already served by another qlx-devsim";
    ASSERT_TRUE(got && status == 0) << "demo-setup failed: " << readBytes(demo / "devsim.log");
    m_demoSim = static_cast<pid_t>(std::atoi(line));
    ASSERT_GT(m_demoSim, 0);

    // The demo's program reads the settings file beside itself and the list from its folder.
    fs::current_path(demo);
    m_app = std::make_unique<shell::App>(m_loop, m_dialogs, (demo / "qlx-setting").string(),
                                         shell::Devices{&m_clock, &m_net, &m_udp, &m_host});
    m_app->start().startUp();
    st().settings.endWait = "0";
    ASSERT_EQ(st().listView.size(), 5u);
    m_dialogs.answer(true);
    m_app->sessions()->bulkCheck();
    ASSERT_TRUE(awaitInformation(1, 25000));
    EXPECT_EQ(informations(),
              std::vector<std::string>{sj("一斉接続 5台 実行しました(成功:4 失敗:1)\n"
                                          "No.004 倉庫 結果:#104 NG ID/PASS Login Error")});

    std::vector<std::string> messages, names;
    const auto list = devlist::LineStore::fromFileBytes(readBytes(demo / "list.csv"));
    for (const auto& rec : list.lines()) {
        messages.push_back(devlist::FieldGet(devlist::kMessage, rec));
        names.push_back(devlist::FieldGet(devlist::kDeviceName, rec));
    }
    const std::string ok = sj("#000 OK 正常送信");
    EXPECT_EQ(messages, (std::vector<std::string>{ok, ok, ok, "#104 NG ID/PASS Login Error", ok}));
    EXPECT_EQ(names, (std::vector<std::string>{"ROOM-A", "ROOM-B", "ROOM-C", "STORE", "GUEST"}));
}

}  // namespace
}  // namespace e2e
