// The screens, the control masks, the text areas, the layouts and the close, each driven
// through the real widgets.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>

#include "ui/device_list.h"
#include "window_fixture.h"

namespace uitest {
namespace {

using shell::Control;

class ScreensTest : public WindowFixture {
protected:
    QAbstractButton* in(QWidget* root, const char* group, const char* caption) {
        QGroupBox* g = named<QGroupBox>(root, group);
        return g ? named<QAbstractButton>(g, caption) : nullptr;
    }
};

TEST_F(ScreensTest, WindowHasItsCaptionFixedSizeAndAreas) {
    EXPECT_EQ(m_window->windowTitle(), q("QLX-Setting"));
    EXPECT_EQ(m_window->size(), QSize(1024, 670));
    EXPECT_EQ(m_window->minimumSize(), m_window->maximumSize());
    EXPECT_EQ(m_window->font().family(), q("IPAPGothic"));
    EXPECT_EQ(m_window->font().pixelSize(), 12);
    EXPECT_EQ(m_window->terminalView()->geometry(), QRect(2, 312, 577, 169));
    EXPECT_EQ(m_window->terminalView()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(m_window->commLogView()->geometry(), QRect(2, 512, 577, 129));
    EXPECT_EQ(m_window->commLogView()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(m_window->basicPanel()->geometry(), QRect(584, 304, 440, 320));
    for (QWidget* p :
         {m_window->listEditPanel(), m_window->settingsPanel(), m_window->editPanel()}) {
        EXPECT_EQ(p->geometry(), QRect(584, 304, 440, 340)) << p->objectName().toStdString();
        EXPECT_FALSE(p->isVisible());
    }
    EXPECT_EQ(m_window->statusLine()->geometry(), QRect(0, 651, 1024, 19));
    // The column captions stand over the start cells of their columns.
    QLabel* message = named<QLabel>(m_window.get(), "Message");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->geometry(), QRect(786, 2, 234, 20));
    EXPECT_TRUE(message->font().bold());
    // Beyond the normal client area nothing can be reached.
    EXPECT_FALSE(named<QAbstractButton>(m_window.get(), "No 再設定")->isVisible());
}

TEST_F(ScreensTest, MasksSetTheRealWidgetsAndLeaveTheOthers) {
    QWidget* basic = m_window->basicPanel();
    QWidget* listEdit = m_window->listEditPanel();
    std::vector<QWidget*> masked = {
        m_window->listView(),
        in(basic, "一斉接続", "設定確認"),
        in(basic, "一斉接続", "設定送信"),
        in(basic, "個別接続", "設定送信"),
        in(basic, "個別接続", "HTTP接続"),
        in(basic, "個別接続", "設定確認"),
        named<QAbstractButton>(basic, "List編集"),
        named<QAbstractButton>(basic, "設定"),
        named<QAbstractButton>(listEdit, "LAN上 検索"),
        named<QAbstractButton>(basic, "実行"),
        named<QAbstractButton>(basic, "全表示"),
        named<QAbstractButton>(basic, "1"),
        named<QAbstractButton>(basic, "2"),
        named<QAbstractButton>(basic, "3"),
        named<QAbstractButton>(basic, "全チェック"),
        named<QAbstractButton>(basic, "全解除"),
        m_window->filterBox(),
        named<QComboBox>(listEdit, "並び替え項目"),
        named<QComboBox>(listEdit, "並び順"),
        named<QAbstractButton>(basic, "共通"),
        named<QAbstractButton>(basic, "個別"),
        named<QLineEdit>(basic, "共通送信ファイル"),
        named<QAbstractButton>(basic, "共通送信ファイル選択"),
    };
    QWidget* stop = in(basic, "一斉接続", "停止");
    std::vector<QWidget*> untouched = {
        named<QAbstractButton>(m_window.get(), "↑CLS"),
        named<QAbstractButton>(m_window.get(), "↓CLS"),
        named<QAbstractButton>(listEdit, "手動入力"),
        named<QAbstractButton>(listEdit, "並び替え"),
        named<QAbstractButton>(m_window->editPanel(), "設定保存"),
        named<QAbstractButton>(m_window->settingsPanel(), "戻る"),
    };
    for (QWidget* w : masked) ASSERT_NE(w, nullptr);
    for (QWidget* w : untouched) ASSERT_NE(w, nullptr);
    ASSERT_NE(stop, nullptr);

    // As designed at start: everything on but "停止" and "適用".
    for (QWidget* w : masked) EXPECT_TRUE(w->isEnabled()) << w->accessibleName().toStdString();
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_FALSE(m_window->control(Control::Apply)->isEnabled());

    m_app->btnMask(shell::kBusyMask);
    m_window->refresh();  // the App's reports are shown on the next turn of the loop
    for (QWidget* w : masked) EXPECT_FALSE(w->isEnabled()) << w->accessibleName().toStdString();
    EXPECT_TRUE(stop->isEnabled());
    for (QWidget* w : untouched) EXPECT_TRUE(w->isEnabled()) << w->accessibleName().toStdString();

    m_app->btnMask(shell::kIdleMask);
    m_window->refresh();
    for (QWidget* w : masked) EXPECT_TRUE(w->isEnabled()) << w->accessibleName().toStdString();
    EXPECT_FALSE(stop->isEnabled());
    for (QWidget* w : untouched) EXPECT_TRUE(w->isEnabled()) << w->accessibleName().toStdString();
}

TEST_F(ScreensTest, SettingsScreenOpensAndItsBackLeavesIt) {
    click(named<QAbstractButton>(m_window->basicPanel(), "設定"));
    EXPECT_TRUE(m_window->settingsPanel()->isVisible());
    EXPECT_EQ(m_window->settingsPanel()->pos(), QPoint(584, 304));
    click(named<QAbstractButton>(m_window->settingsPanel(), "戻る"));
    EXPECT_FALSE(m_window->settingsPanel()->isVisible());
}

TEST_F(ScreensTest, ListEditScreenShowsTheWorkingCopyAndBackLeavesIt) {
    click(named<QAbstractButton>(m_window->basicPanel(), "List編集"));
    EXPECT_TRUE(m_window->listEditPanel()->isVisible());
    EXPECT_FALSE(m_window->control(Control::Apply)->isEnabled());

    // A change of the working copy turns "適用" on; leaving then drops it (ListEditTest).
    m_window->listView()->selectRow(1);
    click(named<QAbstractButton>(m_window->listEditPanel(), "▲"));
    EXPECT_TRUE(m_window->control(Control::Apply)->isEnabled());
    EXPECT_TRUE(m_window->listView()->listModel()->rowText(0).startsWith(q("001 本社")));
    m_dialogs.answer(true);
    click(named<QAbstractButton>(m_window->listEditPanel(), "戻る"));
    EXPECT_FALSE(m_window->listEditPanel()->isVisible());
    EXPECT_TRUE(m_window->listView()->listModel()->rowText(0).startsWith(q("001 Office A")));
    EXPECT_TRUE(m_dialogs.allAnswersUsed());
}

TEST_F(ScreensTest, EveryControlIsNamedAfterItsCaptionAndEveryCaptionIsThere) {
    // Widgets that belong to a drop-down's own machinery are not controls of the window.
    auto insideChoice = [](QWidget* w) {
        for (QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
            if (qobject_cast<QComboBox*>(p)) return !qobject_cast<QLineEdit*>(w);
        }
        return false;
    };
    int controls = 0;
    for (QWidget* w : m_window->findChildren<QWidget*>()) {
        bool isControl = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                         qobject_cast<QComboBox*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
                         qobject_cast<QListView*>(w) || qobject_cast<QGroupBox*>(w);
        if (!isControl || insideChoice(w)) continue;
        ++controls;
        EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className();
        // A picture button has no caption to match.
        if (auto* b = qobject_cast<QAbstractButton*>(w); b && !b->text().isEmpty()) {
            EXPECT_EQ(b->accessibleName(), b->text());
        }
    }
    EXPECT_GT(controls, 80);

    auto expectNames = [](QWidget* root, std::initializer_list<const char*> names) {
        for (const char* n : names) {
            EXPECT_NE(named<QWidget>(root, n), nullptr)
                << root->objectName().toStdString() << ": " << n;
        }
    };
    expectNames(m_window->basicPanel(), {"基本",     "List編集", "設定",         "フィルター",
                                         "実行",     "全表示",   "グループ指定", "1",
                                         "2",        "3",        "全チェック",   "全解除",
                                         "送信方法", "共通",     "個別",         "共通送信ファイル",
                                         "一斉接続", "設定確認", "設定送信",     "停止",
                                         "個別接続", "HTTP接続"});
    expectNames(m_window->listEditPanel(), {"基本",
                                            "List編集",
                                            "設定",
                                            "並び替え",
                                            "機器登録",
                                            "LAN上 検索",
                                            "手動入力",
                                            "List 操作",
                                            "List インポート",
                                            "List エクスポート",
                                            "List ファイル",
                                            "List順編集",
                                            "選択編集",
                                            "▲",
                                            "▼",
                                            "削除",
                                            "チェック項目による一括設定",
                                            "グループ",
                                            "1",
                                            "2",
                                            "3",
                                            "グループ化",
                                            "一斉削除",
                                            "適用",
                                            "戻る"});
    expectNames(m_window->settingsPanel(),
                {"設定確認/設定送信 オプション", "時刻設定を行う", "設定送信", "名称を機器登録",
                 "接続IPアドレスを登録", "dhcp 無効設定", "WRITE", "CPURESET",
                 "終了コマンド送信wait(秒)", "開始コマンド送信wait(秒)", "作業フォルダ",
                 "フィルター履歴クリア", "QLX-Setting Ver. 1.00", "戻る"});
    expectNames(m_window->editPanel(), {"No",          "保存名称",     "初期値",      "リスト名称",
                                        "機器名称",    "IPアドレス",   "ポート HTTP", "TELNET",
                                        "ユーザーID",  "MACアドレス",  "パスワード",  "設定項目",
                                        "model / Ver", "送信ファイル", "メッセージ",  "C",
                                        "最終送信",    "グループ",     "1",           "2",
                                        "3",           "書込前変数",   "通信ログ",    "書込後変数",
                                        "機器LOG 20",  "設定保存",     "戻る"});
    expectNames(m_window.get(),
                {"No", "Name", "IP address", "File", "Model", "Time", "Message", "↑CLS", "↓CLS",
                 "No 再設定", "LastPacket", "PC IP Address", "UDP Host", "Model Ver"});
    // The pass key is kept but never seen.
    EXPECT_FALSE(named<QLineEdit>(m_window->settingsPanel(), "PASS-KEY")->isVisible());
    EXPECT_EQ(named<QLineEdit>(m_window->editPanel(), "パスワード")->echoMode(),
              QLineEdit::Password);
}

TEST_F(ScreensTest, ChooserButtonsArePicturesWithoutCaptionNamedForScreenReaders) {
    const std::pair<QWidget*, const char*> choosers[] = {
        {m_window->basicPanel(), "共通送信ファイル選択"},
        {m_window->editPanel(), "送信ファイル選択"},
    };
    for (auto [panel, name] : choosers) {
        SCOPED_TRACE(name);
        auto* b = named<QAbstractButton>(panel, name);
        ASSERT_NE(b, nullptr);
        EXPECT_TRUE(b->text().isEmpty());
        EXPECT_FALSE(b->icon().isNull());
    }
}

TEST_F(ScreensTest, TerminalKeepsItsNewestLineInViewAndClsEmptiesIt) {
    QPlainTextEdit* t = m_window->terminalView();
    for (int i = 0; i < 200; ++i) state().terminalView.append("line " + std::to_string(i));
    m_window->refresh();
    EXPECT_EQ(t->verticalScrollBar()->value(), t->verticalScrollBar()->maximum());
    EXPECT_GT(t->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(t->textCursor().blockNumber(), 199);
    EXPECT_EQ(t->textCursor().positionInBlock(), 0);

    // A line that grows, lines that follow, and lines taken away all show exactly.
    state().terminalView.lines().back() += "+more";
    state().terminalView.append(text::sj("次の行"));
    m_window->refresh();
    EXPECT_EQ(t->document()->blockCount(), 201);
    EXPECT_EQ(t->document()->findBlockByNumber(199).text(), q("line 199+more"));
    EXPECT_EQ(t->document()->lastBlock().text(), q("次の行"));
    state().terminalView.lines().resize(2);
    m_window->refresh();
    EXPECT_EQ(t->toPlainText(), q("line 0\nline 1"));

    state().commLogView.append("log line");
    m_window->refresh();
    click(named<QAbstractButton>(m_window.get(), "↑CLS"));
    EXPECT_TRUE(state().terminalView.empty());
    EXPECT_EQ(t->toPlainText(), QString());
    EXPECT_EQ(t->textCursor().blockNumber(), 0);
    EXPECT_EQ(m_window->commLogView()->toPlainText(), q("log line"));  // each clears its own
    click(named<QAbstractButton>(m_window.get(), "↓CLS"));
    EXPECT_EQ(m_window->commLogView()->toPlainText(), QString());
}

TEST_F(ScreensTest, TheCloseAsksAndARefusalKeepsTheWindow) {
    m_dialogs.answer(false);
    EXPECT_FALSE(m_window->close());
    EXPECT_TRUE(m_window->isVisible());
    m_dialogs.answer(true);
    EXPECT_TRUE(m_window->close());
}

class EnlargedLayoutTest : public WindowFixture {
protected:
    void SetUp() override { start(sampleList(), "[setting]\r\ndebug=QPD1987Tool\r\n"); }
};

TEST_F(EnlargedLayoutTest, ShowsTheLineStoresLiveAndTakesTypedText) {
    EXPECT_EQ(m_window->size(), QSize(1400, 800));
    EXPECT_EQ(m_window->statusLine()->geometry(), QRect(0, 781, 1400, 19));
    QAbstractButton* renumber = named<QAbstractButton>(m_window.get(), "No 再設定");
    ASSERT_NE(renumber, nullptr);
    EXPECT_TRUE(renumber->isVisible());
    EXPECT_EQ(renumber->geometry(), QRect(440, 736, 137, 22));

    QPlainTextEdit* list = named<QPlainTextEdit>(m_window.get(), "2");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->geometry(), QRect(1072, 96, 300, 90));
    EXPECT_EQ(list->document()->blockCount(), 3);
    EXPECT_TRUE(list->document()->firstBlock().text().startsWith(q("001,F0001011,Office A")));
    // The invalid byte shows as a mark, but the store keeps it.
    EXPECT_TRUE(list->document()->findBlockByNumber(1).text().contains(QChar(0xFFFD)));

    QPlainTextEdit* work = named<QPlainTextEdit>(m_window.get(), "8");
    ASSERT_NE(work, nullptr);
    EXPECT_EQ(work->toPlainText(), q("リスト加工作業用"));
    work->moveCursor(QTextCursor::End);
    type(work, q("作業"));
    ASSERT_EQ(state().workStore.size(), 1u);
    EXPECT_EQ(state().workStore[0], text::sj("リスト加工作業用作業"));
    type(work, QString(QChar(0xD55C)));  // Hangul: no code page 932 character
    EXPECT_EQ(state().workStore[0], text::sj("リスト加工作業用作業"));
    EXPECT_EQ(work->toPlainText(), q("リスト加工作業用作業"));
    EXPECT_FALSE(m_window->inputHint()->text().isEmpty());

    // The captions under the network boxes show what the LAN search set.
    state().pcIpCaption = "127.0.0.1";
    state().udpHostCaption = "127.0.0.255";
    m_window->refresh();
    EXPECT_EQ(named<QLabel>(m_window.get(), "PC IP Address")->text(), q("127.0.0.1"));
    EXPECT_EQ(named<QLabel>(m_window.get(), "UDP Host")->text(), q("127.0.0.255"));
}

}  // namespace
}  // namespace uitest
