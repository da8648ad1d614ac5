// The device list as the window shows it: the exact row texts under the column captions, the
// check marks, the count, and what clicks, keys and the filter row do to the records.
#include <QComboBox>
#include <QLineEdit>

#include "ui/device_list.h"
#include "window_fixture.h"

namespace uitest {
namespace {

std::string sp(int n) {
    return std::string(static_cast<size_t>(n), ' ');
}

class ListViewTest : public WindowFixture {
protected:
    ui::DeviceListView* view() { return m_window->listView(); }
    ui::DeviceListModel* model() { return view()->listModel(); }
    QPoint rowPoint(int row, int x) {
        QRect r = view()->visualRect(model()->index(row));
        return QPoint(r.left() + x, r.center().y());
    }
    void clickBox(int row) {
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, rowPoint(row, 8));
    }
    std::string flagsOf(size_t line) { return state().listStore[line].substr(4, 8); }
};

TEST_F(ListViewTest, ShowsEachRecordAsItsFixedWidthLineWithCheckMarkAndCount) {
    ASSERT_EQ(model()->rowCount(), 3);
    const std::string row1 = "001 Office A" + sp(12) + " " + "127.168.1.10" + sp(4) + "a.txt" +
                             sp(7) + "QLX-100 v1.2" + sp(11) + " " + "2024/01/02 10:00:00" + sp(1) +
                             "#000 OK 正常送信" + sp(14);
    const std::string row2 = "002 本社 受付" + sp(11) + " " + "127.168.1.11" + sp(4) +
                             "defalt.txt" + sp(2) + "QLX-200" + sp(16) + " " + sp(20) + sp(22);
    const std::string row3 = "003 Lab" + sp(17) + " " + "127.0.0.2" + sp(7) + "settings_lon" +
                             sp(23) + " " + sp(20) + sp(22);
    EXPECT_EQ(model()->rowText(0), QString::fromStdString(row1));
    EXPECT_EQ(model()->rowText(1), QString::fromStdString(row2));
    EXPECT_EQ(model()->rowText(2), QString::fromStdString(row3));
    EXPECT_EQ(text::sj(row1).size(), 127u);

    EXPECT_EQ(model()->index(0).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(model()->index(1).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    EXPECT_EQ(model()->index(2).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    EXPECT_EQ(m_window->countLabel()->text(), q("3 / 3"));
    EXPECT_EQ(view()->font().family(), q("IPAGothic"));
    EXPECT_EQ(view()->font().pixelSize(), 16);
    EXPECT_EQ(view()->geometry(), QRect(2, 24, 1018, 270));
}

TEST_F(ListViewTest, ClickOnABoxAndTheSpaceKeyStoreTheCheckMarkOfThatRecord) {
    const std::string file = listFileBytes();
    clickBox(1);
    EXPECT_EQ(flagsOf(1), "F0000001");
    EXPECT_EQ(listFileBytes(), file);  // it reaches the file at the next save
    EXPECT_EQ(model()->index(1).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(state().selectedRow, 1);
    EXPECT_EQ(view()->selectedRow(), 1);

    QTest::keyClick(view(), Qt::Key_Space);
    EXPECT_EQ(flagsOf(1), "F0000000");
    EXPECT_EQ(model()->index(1).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    // The other records keep theirs.
    EXPECT_EQ(flagsOf(0), "F0001011");
    EXPECT_EQ(flagsOf(2), "F0000100");
}

TEST_F(ListViewTest, ClickOnTheTextSelectsWithoutTouchingTheCheckMark) {
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, rowPoint(2, 200));
    EXPECT_EQ(state().selectedRow, 2);
    EXPECT_EQ(flagsOf(2), "F0000100");
    // A rebuild clears the selection in the state; the view follows.
    click(named<QAbstractButton>(m_window->basicPanel(), "全表示"));
    EXPECT_EQ(state().selectedRow, -1);
    EXPECT_EQ(view()->selectedRow(), -1);
}

TEST_F(ListViewTest, GroupAndCheckAllButtonsShowTheirMarksAtOnce) {
    QWidget* basic = m_window->basicPanel();
    click(named<QAbstractButton>(basic, "全チェック"));
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(model()->index(r).data(Qt::CheckStateRole).toInt(), Qt::Checked) << r;
    }
    click(named<QAbstractButton>(basic, "2"));  // only record 3 is in group 2
    EXPECT_EQ(model()->index(0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    EXPECT_EQ(model()->index(2).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(flagsOf(0), "F0001010");
    click(named<QAbstractButton>(basic, "全解除"));
    EXPECT_EQ(flagsOf(2), "F0000100");
}

TEST_F(ListViewTest, CheckedRowsGroupedOnTheListEditPanelReachTheFileWhenApplied) {
    click(named<QAbstractButton>(m_window->basicPanel(), "List編集"));
    QWidget* panel = m_window->listEditPanel();
    ASSERT_TRUE(panel->isVisible());
    clickBox(0);  // record 1 was checked: now unchecked
    clickBox(1);
    clickBox(2);
    QAbstractButton* box2 = nullptr;
    for (QAbstractButton* b : panel->findChildren<QAbstractButton*>()) {
        if (b->accessibleName() == q("2") && b->isCheckable()) box2 = b;
    }
    ASSERT_NE(box2, nullptr);
    click(box2);
    m_dialogs.answer(true);
    click(named<QAbstractButton>(panel, "グループ化"));
    EXPECT_EQ(m_dialogs.shownUtf8().back(), "チェックされている 2台をグループ化しますか？");
    QAbstractButton* apply = named<QAbstractButton>(panel, "適用");
    ASSERT_TRUE(apply->isEnabled());
    m_dialogs.answer(true);
    click(apply);
    EXPECT_FALSE(apply->isEnabled());
    std::string bytes = listFileBytes();
    EXPECT_NE(bytes.find("001,F0001010,Office A,"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("002,F0000101,"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("003,F0000101,Lab,"), std::string::npos) << bytes;
}

TEST_F(ListViewTest, FilterWordTypedAndAppliedShowsMatchesAndJoinsTheHistory) {
    QComboBox* box = m_window->filterBox();
    QTest::keyClicks(box->lineEdit(), "Lab");
    EXPECT_EQ(state().filterText, "Lab");
    click(named<QAbstractButton>(m_window->basicPanel(), "実行"));
    ASSERT_EQ(model()->rowCount(), 1);
    EXPECT_TRUE(model()->rowText(0).startsWith(q("003 Lab")));
    EXPECT_EQ(m_window->countLabel()->text(), q("1 / 3"));
    ASSERT_EQ(box->count(), 1);
    EXPECT_EQ(box->itemText(0), q("Lab"));
    EXPECT_EQ(box->currentText(), q("Lab"));

    // Choosing a history word puts it into the state as it stands.
    box->lineEdit()->clear();
    state().filterText.clear();
    m_window->refresh();
    emit box->activated(0);
    EXPECT_EQ(state().filterText, "Lab");
    EXPECT_EQ(box->currentText(), q("Lab"));
}

TEST_F(ListViewTest, DoubleClickWhileApplyIsPendingWarnsAndLeavesTheEditorClosed) {
    state().setEnabled(shell::Control::Apply, true);
    doubleClick(view()->viewport(), rowPoint(0, 200));
    EXPECT_FALSE(m_window->editPanel()->isVisible());
    ASSERT_FALSE(m_dialogs.shownUtf8().empty());
    EXPECT_EQ(m_dialogs.shownUtf8().back(), "選択編集を行うには適用してください。");
}

}  // namespace
}  // namespace uitest
