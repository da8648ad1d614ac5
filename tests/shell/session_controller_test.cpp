// Single and bulk runs through the window's operations, on virtual time: the questions, what a
// result leaves in the record and the list file, the pauses, "停止", filtered views, late chunks
// and the progress line.
#include "session_fixture.h"

namespace shelltest {
namespace {

std::vector<std::string> sevenDevices() {
    std::vector<std::string> l;
    for (int i = 1; i <= 7; ++i) l.push_back(unchecked(i, "dev" + std::to_string(i)));
    return l;
}

TEST_F(Sessions, SingleQuestionsAndCancelChangesNothing) {
    struct Case {
        bool send;
        int method;
        const char* question;
    };
    const Case cases[] = {{false, 0, "No.007 dev7 確認のみ接続しますか？"},
                          {true, 0, "No.007 dev7 共通設定ファイルを送信しますか？"},
                          {true, 1, "No.007 dev7 個別設定ファイルを送信しますか？"}};
    startWith(sevenDevices());
    const std::string before = listBytes();
    for (const auto& c : cases) {
        st().settings.sendMethod = c.method;
        m_app->selectRow(6);
        m_dialogs.answer(false);
        c.send ? ctl().singleSend() : ctl().singleCheck();
        EXPECT_EQ(m_dialogs.shown().back().text, sj(c.question));
        EXPECT_EQ(conns(), 0u);
        EXPECT_FALSE(st().editShown);
        EXPECT_TRUE(idle());
    }
    EXPECT_EQ(listBytes(), before);
    // Without a selection there is no question at all.
    m_app->selectRow(-1);
    ctl().singleCheck();
    EXPECT_EQ(m_dialogs.shown().size(), 3u);
}

TEST_F(Sessions, SingleResultsLandInTheRecordTheLogAndTheBox) {
    struct Case {
        const char* name;
        Chunks device;
        const char* message;
        int ok, ng;
        const char* deviceName;
    };
    const Case cases[] = {
        {"complete", transcript(false), "#000 OK 正常送信", 1, 0, "ROOM-A"},
        {"refused", kRefused, "#104 NG ID/PASS Login Error", 0, 1, "dev"},
        // What the device says never breaks the record line.
        {"busy", {"failure: busy, retry\r\nQLX"}, "#421 NG failure: busy  retry  QLX", 0, 1, "dev"},
        {"comma in the name", named(",RO,OM,"), "#000 OK 正常送信", 1, 0, " RO OM "},
    };
    auto lines = sevenDevices();
    lines[6] += ",MYNAME";  // a save name of its own, which a result keeps
    for (const auto& c : cases) {
        startWith(lines);
        m_clock.time = {2026, 12, 7, 9, 5, 3};
        m_app->selectRow(6);
        m_dialogs.answer(true);
        ctl().singleCheck();
        EXPECT_TRUE(st().editShown) << c.name;
        EXPECT_FALSE(idle()) << c.name;
        EXPECT_EQ(m_net.last().host(), "127.0.0.7") << c.name;
        play(0, c.device);
        m_clock.time = {2027, 1, 2, 3, 4, 5};  // the sequencer's own moment is stored
        ASSERT_TRUE(runUntil([&] { return idle(); })) << c.name;
        const std::string result = "No.007" + sj(" 結果:") + sj(c.message);
        EXPECT_EQ(infos().back(), result) << c.name;
        EXPECT_EQ(st().commLogView.lines().back(), "2027/01/02 03:04:05 " + result) << c.name;
        EXPECT_EQ(field(6, 12), "2027/01/02 03:04:05") << c.name;
        EXPECT_EQ(field(6, 13), sj(c.message)) << c.name;
        EXPECT_EQ(field(6, 8), c.deviceName) << c.name;
        EXPECT_NE(listBytes().find(st().listStore[6] + "\r\n"), std::string::npos) << c.name;
        EXPECT_EQ(ctl().okCount(), c.ok) << c.name;
        EXPECT_EQ(ctl().ngCount(), c.ng) << c.name;
        EXPECT_FALSE(st().editShown) << c.name;
        EXPECT_EQ(st().selectedRow, -1) << c.name;
        EXPECT_EQ(field(5, 13), "") << c.name;  // no other record touched
        EXPECT_NE(st().listStore[6].find(",MYNAME"), std::string::npos) << c.name;
    }
}

// Three devices, the second refused at login; the settings file ends in a reset.
TEST_F(Sessions, BulkSendServesEveryCheckedDeviceAndSumsUp) {
    startWith({checked(1, "dev1"), unchecked(2, "dev2"), checked(3, "dev3"), checked(4, "dev4")});
    writeBytes(m_dir / "common.txt", "L1\r\nL2\r\nL3\r\nL4\r\nL5\r\ncpureset\r\n");
    st().settings.sendMethod = 0;
    st().settings.commonSendFile = (m_dir / "common.txt").string();
    st().enlargedLayout = true;  // where the window shows the served session's stores
    m_dialogs.answer(true);
    ctl().bulkSend();
    EXPECT_EQ(m_dialogs.shown().back().text,
              sj("チェックされている 3台に共通設定ファイルを送信しますか？"));
    const char* progress[] = {" 一斉接続 1/3台目 No.001 dev1 (成功:0 失敗:0)",
                              " 一斉接続 2/3台目 No.003 dev3 (成功:1 失敗:0)",
                              " 一斉接続 3/3台目 No.004 dev4 (成功:1 失敗:1)"};
    const Chunks devices[] = {transcript(true, 5), kRefused, transcript(true, 5)};
    for (size_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(runUntil([&] { return conns() == i + 1; }));
        EXPECT_EQ(st().statusText, sj(progress[i])) << i;
        EXPECT_FALSE(st().editShown);
        play(i, devices[i]);
    }
    ASSERT_TRUE(runUntil([&] { return idle(); }));
    const std::string summary = sj("一斉接続 3台 実行しました(成功:2 失敗:1)");
    const std::string failure = sj("No.003 dev3 結果:#104 NG ID/PASS Login Error");
    EXPECT_EQ(infos(), std::vector<std::string>{summary + "\n" + failure});
    EXPECT_EQ(st().commLogView.lines().end()[-2], "2026/12/07 09:05:03 " + summary);
    EXPECT_EQ(st().commLogView.lines().back(), failure);
    EXPECT_EQ(st().statusText, "");
    EXPECT_EQ(st().selectedRow, -1);
    EXPECT_EQ(field(0, 13), sj("#000 OK 正常送信(CPURESET)"));
    EXPECT_EQ(field(1, 13), "");
    EXPECT_EQ(field(2, 13), "#104 NG ID/PASS Login Error");
    EXPECT_EQ(field(3, 13), sj("#000 OK 正常送信(CPURESET)"));
    EXPECT_FALSE(ctl().current()->resetPending());
    EXPECT_TRUE(m_dialogs.allAnswersUsed());
    EXPECT_EQ(st().sendStore.lines(), (std::vector<std::string>{"L1", "L2", "L3", "L4", "L5"}));
    ASSERT_FALSE(st().deviceLogStore.empty());
    EXPECT_EQ(st().deviceLogStore[0].rfind("//--- LOG 20 DATA ", 0), 0u);
}

// The work folder cannot take the first device's dump: the window's single and bulk runs show
// the core's result at once, and a bulk run serves no further device.
TEST_F(Sessions, AFileThatCannotBeSavedEndsTheRunWithItsOwnResult) {
    for (bool bulk : {false, true}) {
        SCOPED_TRACE(bulk ? "bulk" : "single");
        startWith({checked(1, "a"), checked(2, "b")});
        const fs::path blocked = fs::path(st().workFolderPath) / "QLX00ee80000001q2.txt";
        fs::create_directories(blocked);
        m_dialogs.answer(true);
        if (bulk) {
            ctl().bulkCheck();
        } else {
            m_app->selectRow(0);
            ctl().singleCheck();
        }
        play(0, transcript(false));
        ASSERT_TRUE(runUntil([&] { return idle(); }));
        m_loop.advance(20000);
        EXPECT_EQ(conns(), 1u);
        EXPECT_EQ(field(0, 13), "#508 NG File Save Error");
        EXPECT_EQ(field(1, 13), "");
        EXPECT_EQ(infos(), std::vector<std::string>{
                               bulk ? sj("一斉接続 1台 実行しました(成功:0 失敗:1)\n"
                                         "No.001 a 結果:#508 NG File Save Error")
                                    : "No.001" + sj(" 結果:") + "#508 NG File Save Error"});
        fs::remove_all(blocked);
        m_dialogs.clear();
    }
}

// The pause after a device reads the end-command wait from its box when the pause begins: "戻る"
// unlocks the box during the first session, and the operator changes it there.
TEST_F(Sessions, ThePauseBetweenDevicesTakesTheEndWaitBoxAsItIsThen) {
    startWith({checked(1, "a"), checked(2, "b")});
    st().settings.endWait = "2";
    uint32_t opened = 0;
    m_app->setObserver([&] {
        if (conns() == 2 && opened == 0) opened = m_loop.tickCount();
    });
    m_dialogs.answer(true);
    ctl().bulkCheck();
    st().settings.endWait = "3";
    play(0, transcript(false));
    const uint32_t ended = m_loop.tickCount();
    ASSERT_TRUE(runUntil([&] { return conns() == 2; }));
    // The sequencer runs 500 ms after the end; a wait returns once its time has passed.
    EXPECT_GE(opened - ended, 500u + 3000u);
    EXPECT_LE(opened - ended, 501u + 3000u);
    ASSERT_TRUE(runUntil([&] { return idle(); }));
}

TEST_F(Sessions, StopEndsTheRunWithoutFurtherDevicesOrSummary) {
    struct Case {
        const char* name;
        uint32_t stopAfterEndMs;  // after the first device's end
        size_t served;
    };
    const Case cases[] = {{"during the pause", 1200, 1}, {"during the second session", 2800, 2}};
    for (const auto& c : cases) {
        startWith({checked(1, "a"), checked(2, "b"), checked(3, "c")});
        m_dialogs.answer(true);
        ctl().bulkCheck();
        play(0, transcript(false));
        m_loop.postAt(m_loop.tickCount() + c.stopAfterEndMs, [&] { ctl().stop(); });
        ASSERT_TRUE(runUntil([&] { return st().statusText.empty() || conns() == 2; }));
        if (conns() == 2) {
            runUntil([&] { return ctl().mode() == session::SessionMode::Stopped; });
            play(1, transcript(false));
        }
        ASSERT_TRUE(runUntil([&] { return idle(); })) << c.name;
        m_loop.advance(20000);
        EXPECT_EQ(conns(), c.served) << c.name;
        EXPECT_TRUE(infos().empty()) << c.name;
        EXPECT_EQ(st().statusText, "") << c.name;
        EXPECT_FALSE(st().editShown) << c.name;
        // The device being served when "停止" came is served to its end.
        EXPECT_EQ(field(1, 13), c.served == 2 ? sj("#000 OK 正常送信") : "") << c.name;
        EXPECT_EQ(field(2, 13), "") << c.name;
        m_dialogs.clear();
    }
}

TEST_F(Sessions, AFilteredRunServesExactlyTheCheckedRowsItCounted) {
    startWith({checked(1, "alpha1"), checked(2, "beta2"), checked(3, "alpha3"), checked(4, "beta4"),
               unchecked(5, "alpha5"), checked(6, "alpha6")});
    m_app->setListData("alpha", shell::ListSource::ListStore);
    ASSERT_EQ(st().listView.size(), 4u);
    m_dialogs.answer(true);
    ctl().bulkCheck();
    EXPECT_EQ(m_dialogs.shown().back().text, sj("チェックされている 3台に設定確認を行いますか？"));
    ASSERT_TRUE(runUntil([&] { return idle(); }, 60000));
    std::vector<std::string> hosts;
    for (const auto& c : m_net.connections()) hosts.push_back(c->host());
    EXPECT_EQ(hosts, (std::vector<std::string>{"127.0.0.1", "127.0.0.3", "127.0.0.6"}));
    EXPECT_EQ(infos().back(), sj("一斉接続 3台 実行しました(成功:0 失敗:3)\n"
                                 "No.001 alpha1 結果:#404 NG Time Out\n"
                                 "No.003 alpha3 結果:#404 NG Time Out\n"
                                 "No.006 alpha6 結果:#404 NG Time Out"));
    for (size_t line : {1u, 3u, 4u}) EXPECT_EQ(field(line, 13), "") << line;
    for (size_t line : {0u, 2u, 5u}) EXPECT_EQ(field(line, 13), "#404 NG Time Out") << line;
}

TEST_F(Sessions, ALateChunkInThePauseNeitherEndsTwiceNorWritesTheNextRecord) {
    startWith({checked(1, "a"), checked(2, "b")});
    m_dialogs.answer(true);
    ctl().bulkCheck();
    auto first = m_net.connections().back();
    const uint32_t t0 = m_loop.tickCount();
    // The first device stays silent past its time-out, then wakes up during the pause.
    first->deliverAt(t0 + 5600, "QLX> ");
    first->deliverAt(t0 + 5900, "ver V9.99\r\nQLX> ");
    first->deliverAt(t0 + 6000, "?ifPhysAddress=00:99:99:99:99:99\r\nQLX> ");
    ASSERT_TRUE(runUntil([&] { return idle(); }, 60000));
    // The time-out closed the connection: the late prompt is not answered.
    EXPECT_EQ(first->sent(), "");
    EXPECT_FALSE(first->isOpen());
    EXPECT_EQ(conns(), 2u);
    EXPECT_EQ(infos(), std::vector<std::string>{sj("一斉接続 2台 実行しました(成功:0 失敗:2)\n"
                                                   "No.001 a 結果:#404 NG Time Out\n"
                                                   "No.002 b 結果:#404 NG Time Out")});
    EXPECT_EQ(field(0, 7), "V1.00");
    EXPECT_EQ(field(1, 7), "V1.00");
    EXPECT_EQ(field(1, 6), "00:ee:80:00:00:01");
    EXPECT_EQ(field(1, 13), "#404 NG Time Out");
}

// "戻る" leaves the list usable while a single check waits on a silent device 003: whatever the
// operator does to the list or the editor meanwhile, the result lands on 003 only, written from
// what the session knew of 003, and when 003 is gone or changed nothing is written at all.
TEST_F(Sessions, AResultLandsOnlyOnTheRecordItStartedOn) {
    struct Case {
        const char* name;
        std::function<void()> meanwhile;
        int line;                         // where 003 is at the end; -1: gone or changed
        std::vector<std::string> others;  // the other lines at the end, as they must be
    };
    const std::vector<std::string> start = {checked(1, "dev1", false), checked(2, "dev2", false),
                                            checked(3, "dev3", false), checked(4, "dev4", false)};
    auto withLines = [](std::vector<std::string> l, std::initializer_list<size_t> keep) {
        std::vector<std::string> out;
        for (size_t i : keep) out.push_back(l[i]);
        return out;
    };
    auto deleteRow = [this](int row) {
        return [this, row] {
            m_app->listEditor().enterListEdit();
            m_app->selectRow(row);
            m_dialogs.answer(true);  // "No.00N を削除してよろしいですか？"
            m_app->listEditor().deleteRecord();
            applyYes();
            m_app->listEditor().leaveListEdit();
        };
    };
    const Case cases[] = {
        {"nothing", [] {}, 2, withLines(start, {0, 1, 3})},
        {"another record opened in the editor",
         [this] {
             m_app->selectRow(0);
             m_app->listEditor().editSelected();
         },
         2, withLines(start, {0, 1, 3})},
        {"the first record deleted", deleteRow(0), 1, withLines(start, {1, 3})},
        {"the record itself deleted", deleteRow(2), -1, withLines(start, {0, 1, 3})},
        {"the record changed by the operator",
         [this] {
             m_app->selectRow(2);
             m_app->listEditor().editSelected();
             st().edit.rec.listName = "renamed";
             m_app->listEditor().saveRecord();
         },
         -1, withLines(start, {0, 1, 3})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startWith(start);
        m_dialogs.clear();
        m_app->selectRow(2);
        m_dialogs.answer(true);
        ctl().singleCheck();
        ASSERT_EQ(m_net.last().host(), "127.0.0.3");
        m_loop.advance(1000);
        m_app->leaveRecordEdit();  // "戻る"
        c.meanwhile();
        const std::vector<std::string> before = st().listStore.lines();
        const std::string fileBefore = listBytes();
        ASSERT_TRUE(runUntil([&] { return !infos().empty(); }));
        EXPECT_EQ(infos().back(), "No.003" + sj(" 結果:#404 NG Time Out"));
        std::vector<std::string> others;
        for (size_t i = 0; i < st().listStore.size(); ++i)
            if (static_cast<int>(i) != c.line) others.push_back(st().listStore[i]);
        EXPECT_EQ(others, c.line < 0 ? before : c.others);
        if (c.line < 0) {
            EXPECT_EQ(listBytes(), fileBefore);
            EXPECT_EQ(st().commLogView.lines().end()[-2],
                      "2026/12/07 09:05:03 No.003" +
                          sj(" の記録先が変更されたため、結果を記録しませんでした。"));
            continue;
        }
        const std::string& line = st().listStore[static_cast<size_t>(c.line)];
        EXPECT_EQ(field(static_cast<size_t>(c.line), 2), "dev3");
        EXPECT_EQ(field(static_cast<size_t>(c.line), 3), "127.0.0.3");
        EXPECT_EQ(field(static_cast<size_t>(c.line), 13), "#404 NG Time Out");
        EXPECT_EQ(field(static_cast<size_t>(c.line), 0), devlist::ZeroPad(c.line + 1, 3));
        EXPECT_NE(listBytes().find(line + "\r\n"), std::string::npos);
        for (const auto& other : c.others) EXPECT_NE(listBytes().find(other), std::string::npos);
    }
}

}  // namespace
}  // namespace shelltest
