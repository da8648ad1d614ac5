// The small comforts of the window: a row's tooltip with the record's full fields, Enter in the
// filter box, Escape in a question, Tab through the panels from the top left, and a log that
// wraps as the shell counts.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>

#include "platform/qt/qt_dialogs.h"
#include "shell/comm_log.h"
#include "ui/device_list.h"
#include "window_fixture.h"

namespace uitest {
namespace {

class ComfortsTest : public WindowFixture {};

TEST_F(ComfortsTest, ARowTooltipShowsTheWholeRecordButNeverItsLoginOrMarkup) {
    ui::DeviceListModel* model = m_window->listView()->listModel();
    const QString tip = model->data(model->index(0), Qt::ToolTipRole).toString();
    for (const char* part : {"No.001  Office A", "IP address: 127.168.1.10  HTTP: 80  TELNET: 23",
                             "MAC: 00:ee:80:00:00:01", "Model: QLX-100 v1.2",
                             "Time: 2024/01/02 10:00:00", "Message: #000 OK 正常送信"}) {
        EXPECT_TRUE(tip.contains(q(part))) << part << "\n" << tip.toStdString();
    }
    EXPECT_FALSE(tip.contains(q("plume")));

    // A device's text is shown as text: markup in a message is escaped.
    state().listStore.lines()[2] += "<b>x</b>";
    m_app->setListData("", shell::ListSource::ListStore);
    m_window->refresh();
    const QString hostile = model->data(model->index(2), Qt::ToolTipRole).toString();
    EXPECT_TRUE(hostile.contains(q("&lt;b&gt;x&lt;/b&gt;"))) << hostile.toStdString();
    EXPECT_FALSE(model->data(model->index(7), Qt::ToolTipRole).isValid());
}

TEST_F(ComfortsTest, EnterInTheFilterBoxFiltersOnlyWhileTheButtonMayBePressed) {
    QLineEdit* edit = m_window->filterBox()->lineEdit();
    QTest::keyClicks(edit, "Lab");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(m_window->listView()->listModel()->rowCount(), 1);

    m_app->showAll();
    m_app->btnMask(1010);  // busy: the filter button is off
    m_window->refresh();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(m_window->listView()->listModel()->rowCount(), 3);
}

TEST_F(ComfortsTest, TabGoesFromTheListDownTheLeftColumnThenThroughTheOperationArea) {
    m_window->activateWindow();
    m_window->listView()->setFocus();
    std::vector<QWidget*> order{m_window->listView()};
    for (QWidget* w = m_window->listView()->nextInFocusChain(); w != m_window->listView();
         w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(m_window.get())) order.push_back(w);
    }
    auto place = [&](QWidget* w) {
        return std::find(order.begin(), order.end(), w) - order.begin();
    };
    QWidget* filter = m_window->filterBox();
    QWidget* run = named<QAbstractButton>(m_window->basicPanel(), "実行");
    ASSERT_NE(run, nullptr);
    EXPECT_LT(place(m_window->terminalView()), place(m_window->commLogView()));
    EXPECT_LT(place(m_window->commLogView()), place(filter));
    EXPECT_LT(place(filter), place(run));
    EXPECT_LT(place(run), place(named<QAbstractButton>(m_window->basicPanel(), "全チェック")));
}

// The log wraps where the shell counts its lines wrapped: the eleven kept are the eleven seen.
TEST_F(ComfortsTest, TheLogWrapsEachLineIntoTheDisplayedLinesTheShellCounts) {
    QPlainTextEdit* log = m_window->commLogView();
    const size_t w = shell::kCommLogColumns - 20;  // after the time stamp
    const std::string texts[] = {
        std::string(w, 'x'),                                       // fills the width
        std::string(w + 1, 'x'),                                   // one cell over
        std::string(w - 1, 'x') + text::sj("漢字") + "yy",         // a character at the edge
        text::sj("接続中 ") + std::string(w, 'z') + " " + "word",  // blanks and text
        std::string(w, 'x') + "  " + std::string(w + 20, 'y'),     // blanks at the edge
        // Broken at words, it would take three lines.
        std::string(45, 'y') + " " + std::string(65, 'z') + " " + "wwwww",
    };
    for (const std::string& t : texts) {
        state().commLogView.clear();
        m_app->logMessage(t);
        m_window->refresh();
        const QTextBlock block = log->document()->firstBlock();
        ASSERT_TRUE(block.isValid() && block.layout());
        EXPECT_EQ(static_cast<size_t>(block.layout()->lineCount()),
                  shell::DisplayedLines(state().commLogView[0]))
            << text::decode(t);
    }
}

// Escape answers a question as its Cancel or No; a message's OK as OK.
TEST(QtDialogsKeys, EscapeAnswersCancelOrNo) {
    platform::qt::QtDialogs dialogs;
    for (int i = 0; i < 2; ++i) {
        QTimer::singleShot(0, [] {
            QWidget* modal = QApplication::activeModalWidget();
            ASSERT_NE(modal, nullptr);
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        const bool yes = i == 0 ? dialogs.confirm("ok?") : dialogs.askYesNo("yes?");
        EXPECT_FALSE(yes) << i;
    }
}

}  // namespace
}  // namespace uitest
