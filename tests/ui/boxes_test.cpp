// Text boxes: what is refused at the box, byte limits in code page 932 bytes, and the road of a
// typed change from a double click through "設定保存" into the list file, byte for byte.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "platform/qt/qt_dialogs.h"
#include "ui/device_list.h"
#include "window_fixture.h"

namespace uitest {
namespace {

class BoxesTest : public WindowFixture {
protected:
    QLineEdit* box(const char* caption) { return named<QLineEdit>(m_window->editPanel(), caption); }
    void openRecord(int row) {
        ui::DeviceListView* view = m_window->listView();
        QRect r = view->visualRect(view->listModel()->index(row));
        doubleClick(view->viewport(), QPoint(r.left() + 200, r.center().y()));
    }
};

// No box takes a line break; a record-editor box takes no comma either, the path, wait and
// filter boxes do. What a box took is in the state.
TEST_F(BoxesTest, LineBreaksAreRefusedEverywhereCommasOnlyInTheRecordEditor) {
    struct Case {
        QLineEdit* box;
        const std::string& value;
        const char* kept;
        const char* refused = "改行は入力できません";  // the hint
    } cases[] = {
        {box("リスト名称"), state().edit.rec.listName, "ab", "カンマ・改行は入力できません"},
        {named<QLineEdit>(m_window.get(), "List ファイル"), state().settings.listFile, "a,b"},
        {named<QLineEdit>(m_window.get(), "共通送信ファイル"), state().settings.commonSendFile,
         "a,b"},
        {named<QLineEdit>(m_window.get(), "終了コマンド送信wait(秒)"), state().settings.endWait,
         "a,b"},
        {m_window->filterBox()->lineEdit(), state().filterText, "a,b"},
    };
    for (const Case& c : cases) {
        ASSERT_NE(c.box, nullptr);
        SCOPED_TRACE(c.box->accessibleName().toStdString());
        c.box->setText(QString());
        m_window->inputHint()->clear();
        type(c.box, q("a,b"));
        EXPECT_EQ(c.box->text(), q(c.kept));
        EXPECT_EQ(m_window->inputHint()->text(), std::string(c.kept) == "a,b" ? "" : q(c.refused));
        m_window->inputHint()->clear();
        c.box->insert(q("x\ny"));  // a paste with a line break
        EXPECT_EQ(c.box->text(), q(c.kept));
        EXPECT_EQ(c.value, c.kept);
        EXPECT_EQ(m_window->inputHint()->text(), q(c.refused));
    }
}

TEST(ChooserPath, IsRefusedWhenCodePage932CannotHoldIt) {
    EXPECT_EQ(platform::qt::chooserPath(QString::fromUtf8("/tmp/表/a,b.csv")),
              text::sj("/tmp/表/a,b.csv"));
    EXPECT_EQ(platform::qt::chooserPath(QString::fromUtf8("/tmp/Müller/list.csv")), std::nullopt);
}

TEST_F(BoxesTest, CharacterWithoutCodePage932FormIsRefused) {
    QLineEdit* user = box("ユーザーID");
    ASSERT_NE(user, nullptr);
    user->setCursorPosition(user->text().size());
    type(user, q("①"));  // a vendor character that code page 932 does hold
    EXPECT_EQ(state().edit.rec.userId, text::sj("admin①"));
    m_window->inputHint()->clear();
    type(user, QString(QChar(0xD55C)));
    EXPECT_EQ(state().edit.rec.userId, text::sj("admin①"));
    EXPECT_EQ(user->text(), q("admin①"));
    EXPECT_FALSE(m_window->inputHint()->text().isEmpty());

    // The filter box refuses the same way.
    QLineEdit* filter = m_window->filterBox()->lineEdit();
    type(filter, q("a"));
    type(filter, QString(QChar(0xD55C)));
    EXPECT_EQ(state().filterText, "a");
    EXPECT_EQ(filter->text(), q("a"));
}

TEST_F(BoxesTest, ByteLimitsCountShiftJisBytes) {
    QLineEdit* name = box("リスト名称");
    QLineEdit* device = box("機器名称");
    name->clear();
    state().edit.rec.listName.clear();
    type(name, q("あいうえおかきくけこさ"));  // 11 full-width characters, 22 bytes
    EXPECT_EQ(state().edit.rec.listName, text::sj("あいうえおかきくけこ"));
    EXPECT_EQ(state().edit.rec.listName.size(), 20u);
    device->clear();
    state().edit.rec.deviceName.clear();
    QTest::keyClicks(device, "0123456789012345678901234567890123");
    EXPECT_EQ(state().edit.rec.deviceName, "012345678901234567890123456789");
}

TEST_F(BoxesTest, DoubleClickEditSaveStoresTypedFieldsAndKeepsUntouchedBytes) {
    openRecord(1);
    ASSERT_TRUE(m_window->editPanel()->isVisible());
    EXPECT_EQ(state().edit.numberLabel, "2");
    EXPECT_EQ(m_window->numberLabel()->text(), q("2"));
    EXPECT_EQ(m_window->flagsLabel()->text(), q("F0000000"));
    EXPECT_EQ(box("リスト名称")->text(), q("本社 受付"));
    // The record editor locks the operation controls.
    EXPECT_FALSE(m_window->listView()->isEnabled());

    QLineEdit* message = box("メッセージ");
    QTest::keyClicks(message, "checked");
    type(message, q("済"));
    click(named<QCheckBox>(m_window->editPanel(), "2"));
    click(named<QAbstractButton>(m_window->editPanel(), "設定保存"));

    EXPECT_FALSE(m_window->editPanel()->isVisible());
    EXPECT_TRUE(m_window->listView()->isEnabled());
    std::string expected = sampleList();
    std::string oldLine = expected.substr(expected.find("002,"));
    oldLine = oldLine.substr(0, oldLine.find("\r\n"));
    std::string newLine = text::sj(
                              "002,F0000100,本社 受付,127.168.1.11,80,23,00:ee:80:00:00:02,"
                              "QLX-200,dev") +
                          "\xA0" + "x,admin,plume,defalt.txt,," + text::sj("checked済");
    expected.replace(expected.find(oldLine), oldLine.size(), newLine);
    EXPECT_EQ(listFileBytes(), expected);
    EXPECT_TRUE(
        m_window->listView()->listModel()->rowText(1).endsWith(q("checked済") + QString(21, u' ')));
}

TEST_F(BoxesTest, ListFileBoxTypingTurnsApplyOn) {
    click(named<QAbstractButton>(m_window->basicPanel(), "List編集"));
    QLineEdit* file = named<QLineEdit>(m_window->listEditPanel(), "List ファイル");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->text(), q("list.csv"));
    file->setCursorPosition(file->text().size());
    QTest::keyClicks(file, "x");
    EXPECT_EQ(state().settings.listFile, "list.csvx");
    EXPECT_EQ(state().listFilePath, "list.csv");  // in use until applied
    EXPECT_TRUE(m_window->control(shell::Control::Apply)->isEnabled());
}

TEST_F(BoxesTest, ChoicesAndCheckBoxesWriteTheirSettings) {
    QComboBox* key = named<QComboBox>(m_window->listEditPanel(), "並び替え項目");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->currentIndex(), 0);
    emit key->activated(3);
    EXPECT_EQ(state().settings.sortKey, 3);
    state().settings.sortKey = 9;  // a hand-edited settings file: no selection
    m_window->refresh();
    EXPECT_EQ(key->currentIndex(), -1);

    QAbstractButton* single = named<QAbstractButton>(m_window->basicPanel(), "個別");
    click(single);
    EXPECT_EQ(state().settings.sendMethod, 1);
    state().settings.sendMethod = -1;
    m_window->refresh();
    EXPECT_FALSE(single->isChecked());
    EXPECT_FALSE(named<QAbstractButton>(m_window->basicPanel(), "共通")->isChecked());

    click(named<QCheckBox>(m_window->settingsPanel(), "CPURESET"));
    EXPECT_TRUE(state().settings.cpuReset);
}

}  // namespace
}  // namespace uitest
