// The window beside a runner: the record editor follows a result carried into its record, a
// confirmed delete deletes its record although a result came into it meanwhile, and no window
// save undoes what a runner or a search wrote into the file.
#include "session_fixture.h"

namespace shelltest {
namespace {

// The operator holds record 2 in the editor while the window serves record 1 and a runner
// records record 2; the window's save after its own result carries the runner's result in.
// "設定保存" then keeps it, apart from a box the operator typed into.
TEST_F(Sessions, TheEditorFollowsACarryUnlessTheOperatorTyped) {
    for (bool typed : {false, true}) {
        SCOPED_TRACE(typed ? "typed a message" : "untouched");
        startWith({unchecked(1, "dev1"), unchecked(2, "dev2")});
        Runner runner(listPath());
        m_app->selectRow(0);
        m_dialogs.answer(true);
        ctl().singleCheck();
        m_app->leaveRecordEdit();  // "戻る" while the device is served
        m_app->selectRow(1);
        m_app->listEditor().editSelected();
        if (typed) st().edit.rec.message = "note";
        ASSERT_EQ(runner.record(1, runnerResult(session::kResultTimeOut, "2026/12/08 09:10:00")),
                  kWritten);
        ASSERT_TRUE(runUntil([&] { return !infos().empty(); }));
        EXPECT_EQ(st().edit.rec.modelVersion, "RUNNER");
        // With no row selected, "選択編集" opens the boxes as they are.
        m_app->listEditor().editSelected();
        m_app->listEditor().saveRecord();
        const std::string l = fileLines()[1];
        EXPECT_EQ(devlist::FieldGet(devlist::kModelVersion, l), "RUNNER") << l;
        EXPECT_EQ(devlist::FieldGet(devlist::kLastSend, l), "2026/12/08 09:10:00") << l;
        EXPECT_EQ(devlist::FieldGet(devlist::kMessage, l), typed ? "note" : "#404 NG Time Out")
            << l;
        m_dialogs.clear();
    }
}

// While "No.003 を削除してよろしいですか？" is open, the window's own result for record 3 comes
// into the working copy; the confirmed delete still deletes record 3, and only it.
TEST_F(Sessions, AConfirmedDeleteFindsItsRecordAfterACarry) {
    startWith({unchecked(1, "dev1"), unchecked(2, "dev2"), unchecked(3, "dev3")});
    m_app->selectRow(2);
    m_dialogs.answer(true);
    ctl().singleCheck();
    m_app->leaveRecordEdit();
    m_app->listEditor().enterListEdit();
    m_app->selectRow(2);
    m_dialogs.whileNextQuestion([&] {
        ASSERT_TRUE(runUntil([&] { return !infos().empty(); }));
        ASSERT_NE(st().viewStore[2].find("#404 NG Time Out"), std::string::npos);
    });
    m_dialogs.answer(true);
    m_app->listEditor().deleteRecord();
    ASSERT_EQ(st().viewStore.size(), 2u);
    EXPECT_EQ(devlist::FieldGet(devlist::kListName, st().viewStore[0]), "dev1");
    EXPECT_EQ(devlist::FieldGet(devlist::kListName, st().viewStore[1]), "dev2");
    applyYes();
    EXPECT_EQ(listBytes().find("dev3"), std::string::npos);
    EXPECT_TRUE(m_dialogs.allAnswersUsed());
}

// Each of the window's saves after another writer stored, under the lock, a result on 001,
// 002 at a new address and a record 004.
TEST_F(AppTest, AWindowSaveKeepsWhatAnotherWriterChanged) {
    using Step = std::function<void()>;
    auto withResult = [](const std::string& line) {
        return line.substr(0, line.size() - 1) + "2026/12/08 09:10:00,#404 NG Time Out";
    };
    const std::string added = rec(4, "F0000000", "new", "127.0.0.4");
    const Step other = [&] {
        const std::string path = (m_dir / "list.csv").string();
        fleet::ListLock lock(path);
        auto lines = devlist::LineStore::fromFileBytes(listBytes());
        lines[0] = withResult(lines[0]);
        lines[1] = devlist::FieldSet(devlist::kIpAddress, "127.0.0.22", lines[1]);
        lines.lines().push_back(added);
        ASSERT_TRUE(platform::writeFileAtomic(path, lines.toBytes()));
    };
    const Step openEditor = [&] {
        m_app->selectRow(0);
        m_app->listEditor().editSelected();
    };
    const Step rename = [&] {
        st().edit.rec.listName = "renamed";  // and a new address: neither identifies it now
        st().edit.rec.ipAddress = "127.0.0.9";
        m_app->listEditor().saveRecord();
    };
    const Step moveThirdUp = [&] {
        m_app->listEditor().enterListEdit();
        m_app->selectRow(2);
        m_app->listEditor().moveUp();
        applyYes();
    };
    const std::string a = withResult(rec(1, "F0000000", "a")), c = rec(3, "F0000000", "c");
    const std::string b = rec(2, "F0000000", "b", "127.0.0.22");
    struct Case {
        const char* name;
        Step first, save;
        std::vector<std::string> want;
    } cases[] = {
        {"editor",
         openEditor,
         rename,
         {withResult(rec(1, "F0000000", "renamed", "127.0.0.9")), b, c, added}},
        {"move", {}, moveThirdUp, {a, "002" + c.substr(3), "003" + b.substr(3), added}},
        {"settings and back", {}, [&] { settingsAndBack(); }, {a, b, c, added}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        writeList({rec(1, "F0000000", "a"), rec(2, "F0000000", "b", "127.0.0.2"), c});
        start();
        if (k.first) k.first();
        other();
        k.save();
        EXPECT_EQ(devlist::LineStore::fromFileBytes(listBytes()).lines(), k.want);
        EXPECT_EQ(st().listStore.lines(), k.want);
        EXPECT_EQ(st().listView.size(), k.want.size());  // the rows show what the save brought
        EXPECT_TRUE(m_dialogs.allAnswersUsed());
        m_dialogs.clear();
    }
}

}  // namespace
}  // namespace shelltest
