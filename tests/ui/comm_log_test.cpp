// The communication log's widget wraps its lines where the shell counts them wrapped, so the
// eleven lines the shell keeps are the eleven the operator sees.
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>

#include "shell/comm_log.h"
#include "window_fixture.h"

namespace uitest {
namespace {

using CommLogWidget = WindowFixture;

TEST_F(CommLogWidget, WrapsEachLineIntoTheDisplayedLinesTheShellCounts) {
    auto* log = m_window->findChild<QPlainTextEdit*>(QStringLiteral("CommLogView"));
    ASSERT_NE(log, nullptr);
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
        QTextBlock block = log->document()->firstBlock();
        ASSERT_TRUE(block.isValid());
        ASSERT_NE(block.layout(), nullptr);
        EXPECT_EQ(static_cast<size_t>(block.layout()->lineCount()),
                  shell::DisplayedLines(state().commLogView[0]))
            << text::decode(t);
    }
}

}  // namespace
}  // namespace uitest
