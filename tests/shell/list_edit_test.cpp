// List-edit mode: the working copy, its questions, apply and leave, import and export, and the
// check marks and groups, as the operator reaches them.
#include "app_fixture.h"

#include <functional>

#include "devlist/fields.h"
#include "discovery/search_reply.h"
#include "fake_host_address.h"
#include "fake_udp_socket.h"
#include "shell/lan_search.h"

namespace shelltest {
namespace {

using shell::Control;
using Kind = testsupport::ScriptedDialogs::Kind;

class ListEditTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        writeList({rec(1, "F0001011", "alpha", "127.0.0.10"),
                   rec(2, "F0000100", "beta", "127.0.0.2"),
                   rec(3, "F0000000", "gamma", "127.0.0.3")});
        start();
        m_original = listBytes();
    }
    std::vector<std::string> numbersAndNames(const devlist::LineStore& s) {
        std::vector<std::string> out;
        for (const auto& l : s.lines())
            out.push_back(devlist::FieldGet(devlist::kNo, l) + " " +
                          devlist::FieldGet(devlist::kListName, l));
        return out;
    }
    std::string m_original;
};

TEST_F(ListEditTest, ApplyAsksCommitsAndSavesCancelKeepsTheWorkingCopyPending) {
    m_app->listEditor().enterListEdit();
    EXPECT_TRUE(st().listEditShown);
    EXPECT_FALSE(st().isEnabled(Control::Apply));
    m_app->selectRow(1);
    m_app->listEditor().moveUp();
    EXPECT_TRUE(st().isEnabled(Control::Apply));
    EXPECT_EQ(st().selectedRow, 0);
    EXPECT_EQ(numbersAndNames(st().viewStore),
              (std::vector<std::string>{"001 beta", "002 alpha", "003 gamma"}));

    m_dialogs.answer(false);
    m_app->listEditor().applyListEdit();
    EXPECT_EQ(listBytes(), m_original);
    EXPECT_TRUE(st().isEnabled(Control::Apply));

    applyYes();
    EXPECT_FALSE(st().isEnabled(Control::Apply));
    EXPECT_EQ(numbersAndNames(st().listStore),
              (std::vector<std::string>{"001 beta", "002 alpha", "003 gamma"}));
    EXPECT_EQ(listBytes(), st().listStore.toBytes());
    EXPECT_EQ(m_dialogs.shownUtf8(),
              (std::vector<std::string>{"編集内容を適用しますか？", "編集内容を適用しますか？"}));
}

TEST_F(ListEditTest, LeavingWithPendingEditsAsksAndDropsTheWorkingCopy) {
    m_app->listEditor().enterListEdit();
    m_app->selectRow(0);
    m_app->listEditor().moveDown();
    m_dialogs.answer(false);
    m_app->listEditor().leaveListEdit();
    EXPECT_TRUE(st().listEditShown);  // Cancel stays
    m_dialogs.answer(true);
    m_app->listEditor().leaveListEdit();
    EXPECT_FALSE(st().listEditShown);
    EXPECT_FALSE(st().isEnabled(Control::Apply));
    EXPECT_EQ(listBytes(), m_original);
    EXPECT_EQ(m_dialogs.shownUtf8()[0], "編集内容を適用せずに戻りますか？");
    // Without pending edits there is no question.
    m_app->listEditor().enterListEdit();
    m_app->listEditor().leaveListEdit();
    EXPECT_EQ(m_dialogs.shown().size(), 2u);
}

TEST_F(ListEditTest, SelectEditIsRefusedWhileEditsArePending) {
    m_app->listEditor().enterListEdit();
    m_app->selectRow(2);
    m_app->listEditor().moveUp();
    m_app->selectRow(0);
    m_app->listEditor().editSelected();
    EXPECT_FALSE(st().editShown);
    ASSERT_EQ(m_dialogs.shown().size(), 1u);
    EXPECT_EQ(m_dialogs.shown()[0].kind, Kind::Warning);
    EXPECT_EQ(m_dialogs.shownUtf8()[0], "選択編集を行うには適用してください。");
}

TEST_F(ListEditTest, SelectEditFromListEditReturnsThereUnlocked) {
    m_app->listEditor().enterListEdit();
    m_app->selectRow(0);
    m_app->listEditor().editSelected();
    EXPECT_TRUE(st().editShown);
    EXPECT_FALSE(st().isEnabled(Control::SortKey));
    m_app->leaveRecordEdit();
    EXPECT_TRUE(st().listEditShown);
    EXPECT_TRUE(st().isEnabled(Control::SortKey));
}

TEST_F(ListEditTest, AddAppendsOneDefaultRecordPerApply) {
    m_app->listEditor().enterListEdit();
    m_dialogs.answer(false);
    m_app->listEditor().addRecord();
    EXPECT_EQ(st().viewStore.size(), 3u);
    m_dialogs.answer(true);
    m_app->listEditor().addRecord();
    ASSERT_EQ(st().viewStore.size(), 4u);
    EXPECT_EQ(st().viewStore[3],
              "004,F0000000,no name,0.0.0.0,80,23,00:ee:80:00:00:00,,,admin,plume,defalt.txt,,");
    EXPECT_FALSE(st().isEnabled(Control::AddRecord));
    m_app->listEditor()
        .addRecord();  // the button is disabled until applied: nothing asked or added
    EXPECT_EQ(st().viewStore.size(), 4u);
    applyYes();
    EXPECT_TRUE(st().isEnabled(Control::AddRecord));
    EXPECT_EQ(m_dialogs.shownUtf8()[0], "新規に登録データを追加しますか？");
}

TEST_F(ListEditTest, AddStopsAtNineHundredNinetyNineRecords) {
    std::vector<std::string> lines;
    for (int i = 1; i <= 998; ++i) lines.push_back(rec(i, "F0000000", "n"));
    writeList(lines);
    start();
    m_app->listEditor().enterListEdit();
    m_dialogs.answer(true);
    m_app->listEditor().addRecord();
    ASSERT_EQ(st().viewStore.size(), 999u);
    EXPECT_EQ(devlist::FieldGet(devlist::kNo, st().viewStore[998]), "999");
    applyYes();
    m_app->listEditor().addRecord();  // full: no question
    EXPECT_EQ(st().viewStore.size(), 999u);
    EXPECT_TRUE(m_dialogs.allAnswersUsed());
}

TEST_F(ListEditTest, DeleteAsksYesNoWithTheNumberAndLeavesAGapUntilRenumbered) {
    m_app->listEditor().renumber();  // only offered in list-edit mode
    EXPECT_FALSE(st().isEnabled(Control::Apply));
    m_app->listEditor().enterListEdit();
    m_app->selectRow(1);
    m_dialogs.answer(false);
    m_app->listEditor().deleteRecord();
    EXPECT_EQ(st().viewStore.size(), 3u);
    EXPECT_EQ(m_dialogs.shown()[0].kind, Kind::YesNo);
    EXPECT_EQ(m_dialogs.shownUtf8()[0], "No.002 を削除してよろしいですか？");
    m_app->selectRow(1);
    m_dialogs.answer(true);
    m_app->listEditor().deleteRecord();
    EXPECT_EQ(numbersAndNames(st().viewStore),
              (std::vector<std::string>{"001 alpha", "003 gamma"}));
    st().settings.sortOrder = 1;
    m_app->listEditor().renumber();
    EXPECT_EQ(numbersAndNames(st().viewStore),
              (std::vector<std::string>{"001 alpha", "002 gamma"}));
    EXPECT_EQ(st().settings.sortOrder, 0);
    EXPECT_TRUE(st().isEnabled(Control::Apply));
}

// "設定保存" in list-edit mode redraws the view from the committed list; the delete still
// takes the selected record out of the working copy, and only on Yes.
TEST_F(ListEditTest, AConfirmedDeleteRemovesTheRecordWhicheverListTheViewWasDrawnFrom) {
    struct Case {
        const char* name;
        bool savedFirst;
        bool yes;
        std::vector<std::string> working;
    };
    const Case cases[] = {
        {"working copy, Yes", false, true, {"001 alpha", "003 gamma"}},
        {"after 設定保存, Yes", true, true, {"001 alpha", "003 gamma"}},
        {"after 設定保存, No", true, false, {"001 alpha", "002 beta", "003 gamma"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        start();
        m_app->listEditor().enterListEdit();
        if (c.savedFirst) {
            m_app->selectRow(0);
            m_app->listEditor().editSelected();
            m_app->listEditor().saveRecord();
            ASSERT_EQ(st().listViewSource, shell::ListSource::ListStore);
        }
        m_app->selectRow(1);
        m_dialogs.clear();
        m_dialogs.answer(c.yes);
        m_app->listEditor().deleteRecord();
        EXPECT_EQ(m_dialogs.shownUtf8(),
                  (std::vector<std::string>{"No.002 を削除してよろしいですか？"}));
        EXPECT_EQ(numbersAndNames(st().viewStore), c.working);
        EXPECT_EQ(st().isEnabled(Control::Apply), c.yes);
        EXPECT_EQ(st().listStore.size(), 3u);  // only "適用" commits
        if (c.yes) {
            applyYes();
            EXPECT_EQ(numbersAndNames(st().listStore), c.working);
        }
        writeBytes(m_dir / "list.csv", m_original);
    }
}

// The operator leaves list editing while a LAN search waits for replies: the search merges
// nothing, "適用" stays as it was, and a record opens with a double click afterwards.
TEST_F(ListEditTest, ASearchWhoseListEditingWasLeftMergesNothing) {
    testsupport::FakeUdpNetwork net{m_loop};
    testsupport::FakeHostAddress host;
    discovery::SearchReply reply;
    reply.address = {127, 0, 0, 44};
    reply.mac = {0x00, 0xEE, 0x80, 0x00, 0x00, 0x44};
    net.onSend = [&](const testsupport::FakeUdpNetwork::Sent& s) {
        net.deliver(s.fromPort, {discovery::BuildSearchReply(reply), "127.0.0.44", 15580}, 5);
    };
    m_devices.udp = &net;
    m_devices.host = &host;
    struct Case {
        const char* name;
        std::function<void(shell::App&)> duringWaits;
        bool merged;
    };
    const Case cases[] = {
        {"stays", nullptr, true},
        {"leaves", [](shell::App& a) { a.listEditor().leaveListEdit(); }, false},
        {"leaves and enters again",
         [](shell::App& a) {
             a.listEditor().leaveListEdit();
             a.listEditor().enterListEdit();
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        start();
        m_app->listEditor().enterListEdit();
        if (c.duringWaits) {
            m_loop.postAt(m_loop.tickCount() + 300, [&] { c.duringWaits(*m_app); });
        }
        m_dialogs.clear();
        m_app->lanSearch()->run();
        while (m_app->lanSearch()->running()) m_loop.advance(1);
        EXPECT_EQ(st().isEnabled(Control::Apply), c.merged);
        EXPECT_EQ(st().viewStore.size(), c.merged ? 4u : 3u);
        EXPECT_EQ(st().listStore.size(), 3u);
        if (c.merged) continue;
        m_app->selectRow(0);
        m_app->listEditor().editSelected();
        EXPECT_TRUE(st().editShown);
        EXPECT_EQ(st().edit.rec.listName, "alpha");
        EXPECT_TRUE(m_dialogs.shown().empty());
        m_app->leaveRecordEdit();
    }
    m_app.reset();  // before the fakes it uses
}

// "並び替え" asks first; No keeps order and numbers exactly, and no column sorts by number.
TEST_F(ListEditTest, SortAsksAndRenumbersOnlyOnYes) {
    struct Case {
        int key, order;
        bool yes;
        std::vector<std::string> names;
    } cases[] = {
        {2, 0, false, {"001 alpha", "002 beta", "003 gamma"}},  // by IP address
        {2, 0, true, {"001 beta", "002 gamma", "003 alpha"}},
        {-1, 1, true, {"001 gamma", "002 beta", "003 alpha"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        start();
        m_app->listEditor().enterListEdit();
        const devlist::LineStore before = st().viewStore;
        st().settings.sortKey = c.key;
        st().settings.sortOrder = c.order;
        m_dialogs.clear();
        m_dialogs.answer(c.yes);
        m_app->listEditor().sortList();
        EXPECT_EQ(m_dialogs.shownUtf8(),
                  std::vector<std::string>{"No.が再振り分けされます。よろしいですか？"});
        EXPECT_EQ(numbersAndNames(st().viewStore), c.names);
        if (!c.yes) {
            EXPECT_EQ(st().viewStore, before);
        }
        EXPECT_EQ(st().isEnabled(Control::Apply), c.yes);
    }
}

TEST_F(ListEditTest, ImportSwitchesTheListFileOnlyWhenApplied) {
    std::string other = (m_dir / "other.csv").string();
    writeBytes(m_dir / "other.csv", rec(7, "F0000000", "imported") + "\r\n");
    m_app->listEditor().enterListEdit();
    m_dialogs.answerFile(other);
    m_app->listImport();
    ASSERT_EQ(m_dialogs.shown()[0].kind, Kind::OpenFile);
    EXPECT_EQ(m_dialogs.shownUtf8()[0], "Listファイルを指定してください。");
    EXPECT_EQ(m_dialogs.shown()[0].choice.filter, "*.csv");
    EXPECT_EQ(st().settings.listFile, other);
    EXPECT_EQ(numbersAndNames(st().viewStore), (std::vector<std::string>{"001 imported"}));
    EXPECT_TRUE(st().isEnabled(Control::Apply));

    // Leaving without applying keeps both files as they were and the list file in use.
    m_dialogs.answer(true);
    m_app->listEditor().leaveListEdit();
    EXPECT_EQ(listBytes(), m_original);
    EXPECT_EQ(readBytes(m_dir / "other.csv"), rec(7, "F0000000", "imported") + "\r\n");
    EXPECT_EQ(st().settings.listFile, "list.csv");

    m_app->listEditor().enterListEdit();
    m_dialogs.answerFile(other);
    m_app->listImport();
    applyYes();
    EXPECT_EQ(st().listFilePath, other);
    EXPECT_EQ(readBytes(m_dir / "other.csv"), rec(1, "F0000000", "imported") + "\r\n");
    EXPECT_EQ(listBytes(), m_original);
}

TEST_F(ListEditTest, ImportOfANonListIsRefusedAndCancelChangesNothing) {
    m_app->listEditor().enterListEdit();
    m_dialogs.answerFile(std::nullopt);
    m_app->listImport();
    EXPECT_FALSE(st().isEnabled(Control::Apply));
    std::string header = "No,Name,IP\r\n001,F0000000,a\r\n";
    writeBytes(m_dir / "x.csv", header);
    m_dialogs.answerFile((m_dir / "x.csv").string());
    m_app->listImport();
    EXPECT_EQ(st().viewStore.size(), 3u);
    EXPECT_FALSE(st().isEnabled(Control::Apply));
    EXPECT_EQ(st().settings.listFile, "list.csv");
    EXPECT_EQ(m_dialogs.shown().back().kind, Kind::Warning);
    EXPECT_EQ(m_dialogs.shownUtf8().back(),
              (m_dir / "x.csv").string() + " はリストファイルとして読み込めません");
    applyYes();  // nothing pending: no question, no write
    m_app->listEditor().leaveListEdit();
    EXPECT_EQ(readBytes(m_dir / "x.csv"), header);
    EXPECT_EQ(listBytes(), m_original);
}

TEST_F(ListEditTest, ExportWritesTheCommittedListAndNamesItForTheNextStart) {
    m_app->listEditor().enterListEdit();
    m_app->selectRow(1);
    m_app->listEditor().moveUp();  // pending, not committed
    std::string out = (m_dir / "export.csv").string();
    m_dialogs.answerFile(out);
    m_app->listExport();
    EXPECT_EQ(m_dialogs.shown()[0].kind, Kind::SaveFile);
    EXPECT_EQ(m_dialogs.shown()[0].choice.fileName, "list.csv");
    EXPECT_EQ(readBytes(out), m_original);
    EXPECT_EQ(st().settings.listFile, out);
    EXPECT_EQ(st().listFilePath, "list.csv");
}

// ---- check marks and groups

TEST_F(ListEditTest, CheckAllAndClearAllReachOnlyTheShownRecords) {
    // A filter hides alpha and gamma.
    st().filterText = "beta";
    m_app->applyFilter();
    m_app->listEditor().checkAll();
    EXPECT_EQ(devlist::FieldGet(devlist::kFlags, st().listStore[1]), "F0000101");
    EXPECT_EQ(devlist::FieldGet(devlist::kFlags, st().listStore[2]), "F0000000");
    EXPECT_EQ(devlist::FieldGet(devlist::kFlags, st().listStore[0]), "F0001011");
    m_app->listEditor().clearAll();
    EXPECT_EQ(devlist::FieldGet(devlist::kFlags, st().listStore[1]), "F0000100");
}

TEST_F(ListEditTest, AssignGroupsAsksWithTheCountAndReplacesAllThreeFlags) {
    m_app->listEditor().enterListEdit();
    st().listView[0].checked = true;  // alpha, F0001011
    st().listView[2].checked = true;
    st().assignGroup[0] = true;
    m_dialogs.answer(false);
    m_app->listEditor().assignGroups();
    EXPECT_EQ(m_dialogs.shownUtf8()[0], "チェックされている 2台をグループ化しますか？");
    EXPECT_EQ(devlist::FieldGet(devlist::kFlags, st().viewStore[0]), "F0001011");
    EXPECT_FALSE(st().isEnabled(Control::Apply));
    // The marks were stored before the question all the same.
    EXPECT_EQ(devlist::FieldGet(devlist::kFlags, st().viewStore[2]), "F0000001");
    EXPECT_EQ(devlist::FieldGet(devlist::kFlags, st().listStore[2]), "F0000001");

    m_dialogs.answer(true);
    m_app->listEditor().assignGroups();
    EXPECT_EQ(devlist::FieldGet(devlist::kFlags, st().viewStore[0]), "F0001001");
    EXPECT_EQ(devlist::FieldGet(devlist::kFlags, st().viewStore[1]), "F0000100");
    EXPECT_EQ(devlist::FieldGet(devlist::kFlags, st().viewStore[2]), "F0001001");
    EXPECT_TRUE(st().isEnabled(Control::Apply));
}

TEST_F(ListEditTest, AssignAndDeleteDoNothingWithoutCheckedRows) {
    m_app->listEditor().enterListEdit();
    for (auto& e : st().listView) e.checked = false;
    m_app->listEditor().assignGroups();
    m_app->listEditor().deleteChecked();
    EXPECT_TRUE(m_dialogs.shown().empty());
    EXPECT_FALSE(st().isEnabled(Control::Apply));
}

TEST_F(ListEditTest, DeleteCheckedKeepsTheOthersWithTheirNumbers) {
    m_app->listEditor().enterListEdit();
    st().listView[0].checked = false;
    st().listView[1].checked = true;
    st().listView[2].checked = false;
    m_dialogs.answer(false);
    m_app->listEditor().deleteChecked();
    EXPECT_EQ(st().viewStore.size(), 3u);
    m_dialogs.answer(true);
    m_app->listEditor().deleteChecked();
    EXPECT_EQ(m_dialogs.shownUtf8()[1], "チェックされている 1台をリストから削除しますか？");
    EXPECT_EQ(numbersAndNames(st().viewStore),
              (std::vector<std::string>{"001 alpha", "003 gamma"}));
    EXPECT_TRUE(st().isEnabled(Control::Apply));
}

TEST_F(ListEditTest, CheckMarksWithoutPendingEditsAreKeptWhenLeaving) {
    m_app->listEditor().enterListEdit();
    m_app->listEditor().rowClicked(2, true);
    EXPECT_FALSE(st().isEnabled(Control::Apply));
    m_app->listEditor().leaveListEdit();  // nothing pending: no question
    EXPECT_TRUE(m_dialogs.shown().empty());
    EXPECT_EQ(devlist::FieldGet(devlist::kFlags, st().listStore[2]), "F0000001");
    EXPECT_NE(listBytes().find("003,F0000001,gamma"), std::string::npos);
}

TEST_F(ListEditTest, CheckMarksAfterAMoveNeverLandOnAnotherDevicesRecord) {
    m_app->listEditor().enterListEdit();
    m_app->selectRow(1);
    m_app->listEditor().moveUp();  // beta is now 001 in the working copy, alpha 002
    m_app->listEditor().rowClicked(0, true);
    // The committed list is untouched: alpha keeps its groups and its mark.
    EXPECT_EQ(st().listStore.toBytes(), m_original);
    EXPECT_EQ(devlist::FieldGet(devlist::kFlags, st().listStore[0]), "F0001011");
    EXPECT_EQ(devlist::FieldGet(devlist::kListName, st().viewStore[0]), "beta");
    EXPECT_EQ(devlist::FieldGet(devlist::kFlags, st().viewStore[0]), "F0000101");
    m_dialogs.answer(true);
    m_app->listEditor().leaveListEdit();
    EXPECT_EQ(listBytes(), m_original);
    // Applied, the mark reaches the file with the new order.
    m_app->listEditor().enterListEdit();
    m_app->selectRow(1);
    m_app->listEditor().moveUp();
    m_app->listEditor().rowClicked(0, true);
    applyYes();
    EXPECT_EQ(devlist::FieldGet(devlist::kFlags, st().listStore[0]), "F0000101");
    EXPECT_EQ(devlist::FieldGet(devlist::kFlags, st().listStore[1]), "F0001011");
}

// What the operator assigned during a pending edit reaches the file as assigned. Steps: "clear"
// unticks every row, "tick N"/"untick N" a row, "groups XYZ" assigns the groups ticked as 1.
TEST_F(ListEditTest, PendingEditsKeepWhatTheOperatorAssigned) {
    auto e = [&]() -> shell::ListEditor& { return m_app->listEditor(); };
    auto run = [&](const std::string& step) {
        const std::string arg = step.substr(step.find(' ') + 1);
        if (step == "clear") {
            for (int row = 0; row < 3; ++row) e().rowClicked(row, false);
        } else if (step.starts_with("tick ") || step.starts_with("untick ")) {
            e().rowClicked(std::stoi(arg), step[0] == 't');
        } else if (step.starts_with("groups ")) {
            for (int g = 0; g < 3; ++g) st().assignGroup[g] = arg[g] == '1';
            m_dialogs.answer(true);
            e().assignGroups();
        } else if (step == "type list file") {
            m_app->listFileEdited(st().settings.listFile);
        } else if (step == "sort without order") {
            st().settings.sortKey = 2;  // IP address: ascending would put beta first
            st().settings.sortOrder = -1;
            m_dialogs.answer(true);
            e().sortList();
        } else {
            m_dialogs.answer(true);
            step == "apply" ? e().applyListEdit() : e().leaveListEdit();
        }
    };
    struct Case {
        std::vector<std::string> steps;   // in list-edit mode
        std::vector<std::string> stored;  // number, flags and name of each record in the file
    } cases[] = {
        {{"clear", "tick 2", "groups 010", "untick 2", "apply"},
         {"001,F0001010,alpha", "002,F0000100,beta", "003,F0000100,gamma"}},
        {{"type list file", "tick 1", "leave"},
         {"001,F0001011,alpha", "002,F0000101,beta", "003,F0000000,gamma"}},
        {{"clear", "tick 0", "groups 001", "tick 2", "leave"},
         {"001,F0001011,alpha", "002,F0000100,beta", "003,F0000001,gamma"}},
        {{"sort without order", "apply"},
         {"001,F0001011,alpha", "002,F0000100,beta", "003,F0000000,gamma"}},
    };
    for (const auto& c : cases) {
        writeBytes(m_dir / "list.csv", m_original);
        start();
        e().enterListEdit();
        for (const std::string& step : c.steps) run(step);
        std::vector<std::string> stored;
        const devlist::LineStore file = devlist::LineStore::fromFileBytes(listBytes());
        for (const auto& line : file.lines()) stored.push_back(line.substr(0, line.find(',', 13)));
        EXPECT_EQ(stored, c.stored) << testing::PrintToString(c.steps);
    }
}

}  // namespace
}  // namespace shelltest
