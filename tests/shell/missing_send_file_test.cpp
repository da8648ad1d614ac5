// A send whose settings file is not there connects nobody: the single run says so in its error
// box, the bulk run notes it in the log and its report and goes on with the next device.
#include "platform/files.h"
#include "session_fixture.h"

namespace shelltest {
namespace {

// Record `no` whose own send file is `file`.
std::string withFile(int no, const std::string& file) {
    std::string line = checked(no, "dev" + std::to_string(no));
    line.replace(line.find("defalt.txt"), 10, file);
    return line;
}

TEST_F(Sessions, ASingleSendWithoutItsSettingsFileConnectsNobody) {
    startWith({checked(1, "dev1")});
    const std::string before = listBytes();
    st().settings.sendMethod = 0;
    st().settings.commonSendFile = "nope.txt";
    m_app->selectRow(0);
    m_dialogs.answer(true);
    ctl().singleSend();
    EXPECT_EQ(m_dialogs.shown().back().kind, testsupport::ScriptedDialogs::Kind::Error);
    EXPECT_EQ(m_dialogs.shown().back().text, sj("送信ファイル nope.txt が見つかりません。"));
    EXPECT_EQ(conns(), 0u);
    EXPECT_TRUE(idle());
    EXPECT_FALSE(st().editShown);
    m_loop.advance(10000);
    EXPECT_EQ(listBytes(), before);
}

TEST_F(Sessions, ABulkSendSkipsTheDeviceWithoutItsFileAndReportsIt) {
    writeBytes(m_dir / "own.txt", "L1\r\n");
    const std::string own = (m_dir / "own.txt").string();
    startWith({withFile(1, own), withFile(2, "gone.txt"), withFile(3, own), withFile(4, "")});
    const std::string second = st().listStore[1];
    st().settings.sendMethod = 1;
    m_dialogs.answer(true);
    ctl().bulkSend();
    ASSERT_EQ(conns(), 1u);
    play(0, transcript(true, 1));
    ASSERT_TRUE(runUntil([&] { return conns() == 2; }));
    play(1, transcript(true, 1));
    ASSERT_TRUE(runUntil([&] { return idle(); }));
    EXPECT_EQ(conns(), 2u);

    // The skipped devices are named with their reason under the count.
    const std::string summary =
        sj("一斉接続 4台 実行しました(成功:2 失敗:2)\n"
           "No.002 dev2 結果:送信ファイル gone.txt が見つかりません。\n"
           "No.004 dev4 結果:送信ファイル  が見つかりません。");
    EXPECT_EQ(infos(), std::vector<std::string>{summary});
    const auto& log = st().commLogView.lines();
    auto logged = [&](const std::string& text) {
        for (const auto& l : log)
            if (l.ends_with(" " + text)) return true;
        return false;
    };
    EXPECT_TRUE(logged(sj("送信ファイル gone.txt が見つかりません。")));
    EXPECT_EQ(st().listStore[1], second);  // the skipped record is left as it was
    EXPECT_EQ(field(0, 13), sj("#000 OK 正常送信"));
    EXPECT_EQ(field(2, 13), sj("#000 OK 正常送信"));

    // The report has a row for every device, the skipped ones with the reason and no
    // transcript.
    std::string csv;
    for (const auto& e : fs::directory_iterator(st().workFolderPath))
        if (e.path().extension() == ".csv") csv = readBytes(e.path());
    EXPECT_NE(csv.find(sj("送信ファイル gone.txt が見つかりません。")), std::string::npos) << csv;
    // The last column says which results are in the list.
    EXPECT_NE(csv.find(sj("見つかりません。,,,no\r\n")), std::string::npos) << csv;
    EXPECT_EQ(csv.find(",\r\n"), std::string::npos) << csv;
    size_t transcripts = 0;
    for (const auto& e : fs::recursive_directory_iterator(st().workFolderPath))
        transcripts += e.path().filename().string().starts_with("No0");
    EXPECT_EQ(transcripts, 2u);
}

}  // namespace
}  // namespace shelltest
