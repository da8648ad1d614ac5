// The log's widget wraps where the shell counts its lines wrapped: the eleven kept are the eleven
// seen.
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>

#include "shell/comm_log.h"
#include "window_fixture.h"

namespace uitest {
namespace {

TEST_F(WindowFixture, WrapsEachLineIntoTheDisplayedLinesTheShellCounts) {
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
        const QTextBlock block = log->document()->firstBlock();
        ASSERT_TRUE(block.isValid() && block.layout());
        EXPECT_EQ(static_cast<size_t>(block.layout()->lineCount()),
                  shell::DisplayedLines(state().commLogView[0]))
            << text::decode(t);
    }
}

}  // namespace
}  // namespace uitest
