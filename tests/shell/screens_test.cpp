// Screens, masks, the filter row and the record editor as the operator reaches them.
#include "app_fixture.h"

#include "devlist/fields.h"
#include "shell/comm_log.h"

namespace shelltest {
namespace {

using shell::Control;

class ScreensTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        writeList({rec(1, "F0000001", "alpha", "127.0.0.1"),
                   rec(2, "F0000000", "beta", "127.0.0.2"),
                   rec(3, "F0001000", "gamma", "127.0.0.3")});
        start();
    }
};

TEST_F(ScreensTest, MasksSetExactlyTheTwentyThreeControls) {
    auto before = st().enabled;
    m_app->btnMask(1012);
    m_app->btnMask(0);
    EXPECT_EQ(st().enabled, before);

    m_app->btnMask(1010);
    m_app->btnMask(1010);
    EXPECT_TRUE(st().isEnabled(Control::Stop));
    for (int i = 1; i < shell::kMaskedControls; ++i) EXPECT_FALSE(st().enabled[i]) << i;
    // Not masked: the list-edit buttons keep their state.
    EXPECT_FALSE(st().isEnabled(Control::Apply));
    EXPECT_TRUE(st().isEnabled(Control::AddRecord));

    m_app->btnMask(1011);
    EXPECT_FALSE(st().isEnabled(Control::Stop));
    for (int i = 1; i < shell::kMaskedControls; ++i) EXPECT_TRUE(st().enabled[i]) << i;
    EXPECT_FALSE(st().isEnabled(Control::Apply));
}

TEST_F(ScreensTest, LeavingSettingsRendersUnfilteredAndRewritesTheList) {
    st().filterText = "beta";
    m_app->applyFilter();
    EXPECT_EQ(st().listView.size(), 1u);
    fs::remove(m_dir / "list.csv");
    m_app->openSettings();
    EXPECT_TRUE(st().settingsShown);
    m_app->leaveSettings();
    EXPECT_FALSE(st().settingsShown);
    EXPECT_EQ(st().listView.size(), 3u);
    EXPECT_EQ(st().filterText, "beta");  // the word stays in the box
    EXPECT_TRUE(fs::exists(m_dir / "list.csv"));
}

TEST_F(ScreensTest, FilterDisablesListOrderButtonsAndWritesHistoryOnApplyOnly) {
    st().filterText = "127.0.0";
    m_app->applyFilter();
    EXPECT_EQ(st().countLabel, "3 / 3");
    for (Control c : {Control::MoveUp, Control::MoveDown, Control::Delete, Control::AddRecord}) {
        EXPECT_FALSE(st().isEnabled(c));
    }
    std::string history = readBytes(m_dir / "bin" / "data" / "filterword.txt");
    EXPECT_EQ(history, "127.0.0\r\n");

    st().filterText = "zzz";
    m_app->applyFilter();
    EXPECT_TRUE(st().listView.empty());
    EXPECT_EQ(st().countLabel, "0 / 3");

    m_app->showAll();
    EXPECT_EQ(st().listView.size(), 3u);
    EXPECT_EQ(st().filterText, "zzz");
    for (Control c : {Control::MoveUp, Control::MoveDown, Control::Delete, Control::AddRecord}) {
        EXPECT_TRUE(st().isEnabled(c));
    }
    EXPECT_EQ(st().filterHistory.words(), (std::vector<std::string>{"zzz", "127.0.0"}));
}

TEST_F(ScreensTest, ClearingTheHistoryAsksAndCancelKeepsIt) {
    st().filterText = "alpha";
    m_app->applyFilter();
    m_dialogs.answer(false);
    m_app->clearFilterHistory();
    EXPECT_EQ(st().filterHistory.words().size(), 1u);
    m_dialogs.answer(true);
    m_app->clearFilterHistory();
    EXPECT_TRUE(st().filterHistory.words().empty());
    EXPECT_EQ(st().filterText, "alpha");
    EXPECT_EQ(readBytes(m_dir / "bin" / "data" / "filterword.txt"), "");
    EXPECT_EQ(m_dialogs.shownUtf8(),
              (std::vector<std::string>{"フィルター履歴をクリアしますか？",
                                        "フィルター履歴をクリアしますか？"}));
}

// "選択編集" opens the record shown on the row, whatever number it was stored under, and
// "設定保存" stores the boxes into it alone, a fifteenth field the boxes do not show kept.
TEST_F(AppTest, TheEditorStoresTheBoxesIntoTheRecordShownOnTheRow) {
    const std::string name = sj("会議室");
    struct Case {
        const char* what;
        std::vector<std::string> lines;
        std::string shown;  // the name row 1 shows, then the line the save leaves there
        std::string saved;
        const char* saveName = "QLX00ee80000001";
    } cases[] = {
        {"numbered by place",
         {rec(1, "F0000001", "alpha"), rec(2, "F0000000", "beta", "127.0.0.2")},
         "beta",
         rec(2, "F0000100", name, "127.0.0.2")},
        // "junk" is dropped at load: C keeps its 003 until it is saved under the row's 002.
        {"a gap",
         {rec(1, "F0001000", "A"), "junk", rec(3, "F0001000", "C"), rec(4, "F0", "D")},
         "C",
         rec(2, "F0001100", name)},
        {"a fifteenth field",
         {rec(1, "F0000000", "a"), rec(2, "F0000000", "b") + ",ROOM1"},
         "b",
         rec(2, "F0000100", name) + ",ROOM1",
         "ROOM1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeList(c.lines);
        start();
        const std::vector<std::string> before = st().listStore.lines();
        m_app->selectRow(1);
        m_app->listEditor().editSelected();
        EXPECT_TRUE(st().editShown);
        EXPECT_FALSE(st().isEnabled(Control::ListView));  // busy while a record is edited
        EXPECT_EQ(st().edit.rec.listName, c.shown);
        EXPECT_EQ(st().edit.saveName, c.saveName);
        st().edit.rec.listName = name;
        st().edit.group[1] = true;
        m_app->listEditor().saveRecord();
        EXPECT_FALSE(st().editShown);
        EXPECT_TRUE(st().isEnabled(Control::ListView));
        std::vector<std::string> want = before;
        want[1] = c.saved;
        EXPECT_EQ(st().listStore.lines(), want);
        EXPECT_EQ(listBytes(), st().listStore.toBytes());
        EXPECT_EQ(m_app->recordIndexOfRow(static_cast<int>(want.size()) - 1),
                  static_cast<int>(want.size()) - 1);
        EXPECT_EQ(m_app->recordIndexOfRow(static_cast<int>(want.size())), -1);
    }
}

TEST_F(ScreensTest, LeavingTheEditorStoresNothingAndUnlocks) {
    m_app->selectRow(0);
    m_app->listEditor().editSelected();
    st().edit.rec.listName = "changed";
    m_app->leaveRecordEdit();
    EXPECT_FALSE(st().editShown);
    EXPECT_EQ(devlist::FieldGet(devlist::kListName, st().listStore[0]), "alpha");
    EXPECT_TRUE(st().isEnabled(Control::SettingsTab));
}

TEST_F(ScreensTest, SaveWithoutNumberStoresNothingButRebuildsTheView) {
    m_app->listEditor().editSelected();  // no row selected: the boxes as start-up left them
    EXPECT_EQ(st().edit.numberLabel, "");
    std::string before = listBytes();
    auto rev = st().listRevision;
    m_app->listEditor().saveRecord();
    EXPECT_EQ(listBytes(), before);
    EXPECT_GT(st().listRevision, rev);
}

TEST_F(ScreensTest, RecordDefaultsKeepNumberGroupsAndSaveName) {
    m_app->selectRow(2);
    m_app->listEditor().editSelected();
    st().edit.group[0] = true;
    m_app->listEditor().recordDefaults();
    EXPECT_EQ(st().edit.numberLabel, "3");
    EXPECT_TRUE(st().edit.group[0]);
    EXPECT_EQ(st().edit.rec.ipAddress, "0.0.0.0");
    EXPECT_EQ(st().edit.saveName, "QLX00ee80000001");
}

// The log keeps eleven displayed lines, a long line counting as the lines it wraps to, and only
// whole lines go.
TEST(CommLog, KeepsElevenDisplayedLinesOfWholeLines) {
    const size_t w = shell::kCommLogColumns;
    // A message whose logged line, after its 20-byte time stamp, takes `cells` bytes.
    auto message = [](size_t cells) { return std::string(cells - 20, 'x'); };
    // 2w bytes, but its double-byte character would straddle the first edge: three lines.
    const std::string straddle = message(w - 1) + text::sj("漢") + std::string(w - 1, 'x');
    std::vector<std::string> tenThenWrapped(10, "a");
    tenThenWrapped.push_back(message(2 * w + 1));
    struct Case {
        std::vector<std::string> messages;
        std::vector<size_t> kept;  // displayed lines of each line kept, oldest first
    } cases[] = {
        {std::vector<std::string>(12, "a"), std::vector<size_t>(11, 1)},
        {std::vector<std::string>(12, message(w)), std::vector<size_t>(11, 1)},
        {std::vector<std::string>(7, message(w + 1)), {2, 2, 2, 2, 2}},
        {std::vector<std::string>(4, straddle), {3, 3, 3}},
        {tenThenWrapped, {1, 1, 1, 1, 1, 1, 1, 1, 3}},
        {{"a", "a", message(12 * w)}, {12}},
    };
    for (const auto& c : cases) {
        devlist::LineStore view;
        for (const std::string& m : c.messages) shell::LogMessage(view, platform::LocalTime{}, m);
        std::vector<size_t> kept;
        for (const std::string& line : view.lines()) kept.push_back(shell::DisplayedLines(line));
        EXPECT_EQ(kept, c.kept) << c.messages.back();
        ASSERT_FALSE(view.empty());
        EXPECT_EQ(view[view.size() - 1], "2000/01/01 00:00:00 " + c.messages.back());
    }
}

}  // namespace
}  // namespace shelltest
