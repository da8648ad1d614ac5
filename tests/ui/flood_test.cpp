// The window under a device that never stops talking: the text areas show a bounded tail with
// long lines in pieces, a burst of changes is shown by one refresh, and the enlarged layout's
// device-log area and store follow a dump chunk by chunk.
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <algorithm>

#include "fake_clock.h"
#include "fake_tcp_socket.h"
#include "platform/qt/qt_text.h"
#include "session/device_session.h"
#include "shell/session_controller.h"
#include "ui/terminal_mirror.h"
#include "ui/text_tail.h"
#include "window_fixture.h"

namespace uitest {
namespace {

using text::sj;

// The longest line (block) of an area, in characters.
int widestLine(const QTextDocument* d) {
    int widest = 0;
    for (QTextBlock b = d->begin(); b.isValid(); b = b.next())
        widest = std::max(widest, b.length() - 1);
    return widest;
}

void expectBounded(const QPlainTextEdit& edit) {
    const QTextDocument* d = edit.document();
    EXPECT_LE(static_cast<size_t>(d->blockCount()), 2 * ui::kShownTailLines + 1);
    EXPECT_LE(static_cast<size_t>(d->characterCount()),
              2 * ui::kShownTailBytes + 2 * ui::kShownTailLines);
    EXPECT_LE(widestLine(d), ui::kShownPieceChars);
}

TEST(TerminalMirrorFlood, ShowsABoundedTailWithLongLinesInPiecesAndTheNewestTextLast) {
    struct Case {
        const char* what;
        std::string chunk;  // appended `times` times, looked at after each
        int times;
        bool wholeShown;  // the text is small enough to be shown whole (in pieces)
    };
    std::string shortLines;
    for (int i = 0; i < 2000; ++i) shortLines += "v" + std::to_string(i) + "\r\n";
    std::string twoByte;
    for (int i = 0; i < 150000; ++i) twoByte += sj("機");
    const Case cases[] = {
        {"many short lines", shortLines, 200, false},
        {"one 8 MiB line at once", std::string(8 << 20, 'A'), 1, false},
        {"64 KiB lines without a break inside", std::string(64 << 10, 'B'), 40, false},
        {"a long line of two-byte characters", twoByte, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QPlainTextEdit edit;
        ui::TerminalMirror mirror(&edit);
        session::BoundedText terminal;
        for (int i = 0; i < c.times; ++i) {
            terminal.append(c.chunk);
            mirror.sync(terminal, 1);
        }
        terminal.append("END");
        mirror.sync(terminal, 1);
        expectBounded(edit);
        QString shown = edit.toPlainText();
        EXPECT_TRUE(shown.endsWith(QStringLiteral("END\n")));
        if (c.wholeShown) {
            // Broken into pieces, but no character split or lost.
            shown.remove(u'\n');
            EXPECT_EQ(shown, platform::qt::toQString(c.chunk) + QStringLiteral("END"));
        }
    }
}

TEST(TerminalMirrorFlood, ALookAfterAnotherSessionOrAClearStartsAfresh) {
    QPlainTextEdit edit;
    ui::TerminalMirror mirror(&edit);
    session::BoundedText first, second;
    first.append(std::string(3 << 20, 'x'));
    mirror.sync(first, 1);
    second.append("second");
    mirror.sync(second, 2);
    EXPECT_EQ(edit.toPlainText(), QStringLiteral("second\n"));
    second.clear();
    second.append("after clear");
    mirror.sync(second, 2);
    EXPECT_EQ(edit.toPlainText(), QStringLiteral("after clear\n"));
}

class WindowFlood : public WindowFixture {
protected:
    QPlainTextEdit* area(const char* number) {
        return named<QPlainTextEdit>(m_window.get(), number);
    }
};

TEST_F(WindowFlood, ABurstOfChangesIsShownByOneRefresh) {
    QTest::qWait(150);  // whatever start-up asked for is shown
    const uint64_t before = m_window->refreshCount();
    for (int i = 0; i < 1000; ++i) {
        state().statusText = "status " + std::to_string(i);
        state().terminalView.append("line " + std::to_string(i));
        m_app->refreshWindow();
    }
    EXPECT_EQ(m_window->refreshCount(), before);
    QTest::qWait(150);
    EXPECT_EQ(m_window->refreshCount(), before + 1);
    EXPECT_EQ(m_window->statusLine()->text(), q("status 999"));
    EXPECT_TRUE(m_window->terminalView()->toPlainText().endsWith(q("line 999")));
}

TEST_F(WindowFlood, AreasShowTheTailOfAStoreTooLargeToShowWholeAndTakeNoTypingMeanwhile) {
    enlarge();
    struct Case {
        const char* what;
        devlist::LineStore* store;
        const char* area;
        std::vector<std::string> lines;
    };
    std::vector<std::string> many;
    for (int i = 0; i < 60000; ++i) many.push_back("reply " + std::to_string(i));
    const Case cases[] = {
        {"many lines", &state().searchReplyStore, "6", many},
        {"one endless line", &state().workStore, "8", {"head", std::string(3 << 20, 'W') + "tail"}},
        {"a long line", &state().sendStore, "4", {std::string(10000, 'S'), "last"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QPlainTextEdit* edit = area(c.area);
        ASSERT_NE(edit, nullptr);
        ASSERT_FALSE(edit->isReadOnly());
        c.store->lines() = c.lines;
        m_window->refresh();
        expectBounded(*edit);
        EXPECT_TRUE(edit->isReadOnly());
        EXPECT_TRUE(edit->toPlainText().endsWith(QString::fromStdString(c.lines.back().substr(
            c.lines.back().size() - std::min<size_t>(c.lines.back().size(), 4)))));
        // Back to a small store: shown whole and editable again.
        c.store->lines() = {"small"};
        m_window->refresh();
        EXPECT_FALSE(edit->isReadOnly());
        EXPECT_EQ(edit->toPlainText(), q("small"));
    }
}

// A single check in the enlarged layout against a device that dumps its variables in many
// chunks: the device-log area shows the newest text, the store holds the log's lines exactly as
// a copy of the whole log would, however the dump was cut.
class EnlargedSession : public WindowFixture {
protected:
    void SetUp() override {
        start("001,F0000000,dev,127.0.0.2,80,23,,,,admin,plume,,,\r\n", {},
              {.clock = &m_clock, .network = &m_net});
        enlarge();
    }
    void play(const std::string& chunk) {
        m_net.connections().back()->deliver(chunk);
        m_loop.runPending();
        m_window->refresh();
    }
    testsupport::FakeClock m_clock;
    testsupport::FakeNetwork m_net{m_loop};
};

TEST_F(EnlargedSession, TheDeviceLogAreaAndStoreFollowADumpChunkByChunk) {
    m_app->selectRow(0);
    m_dialogs.answer(true);
    m_app->sessions()->singleCheck();
    ASSERT_EQ(m_net.connections().size(), 1u);
    for (const char* c :
         {"login ready.\r\nUser ID:", "Password:", "\r\nWelcome\r\nQLX> ", "ver V1.23\r\nQLX> ",
          "?ifPhysAddress=00:11:22:33:44:55\r\nQLX> ", "?sysName=\"ROOM-A\"\r\nQLX> "}) {
        play(c);
        m_loop.advance(session::kLoginPauseMs);  // as a device that waits for the answer sees it
    }
    std::string dump = "&save\r\n";
    for (int i = 0; dump.size() < 150000; ++i) dump += ".var" + std::to_string(i) + "=7\r\n";
    // Cut at odd places: inside lines, between CR and LF. While a dump streams the store
    // follows every 100 ms.
    for (size_t at = 0; at < dump.size(); at += 4093) {
        if (at + 4093 >= dump.size()) m_loop.advance(100);
        play(dump.substr(at, 4093));
    }
    const session::BoundedText& log = m_app->sessions()->current()->deviceLog();
    devlist::LineStore whole;
    whole.setText(log.bytes());
    EXPECT_EQ(state().deviceLogStore.lines(), whole.lines());
    // The area shows the log's newest lines.
    QPlainTextEdit* logArea = named<QPlainTextEdit>(m_window.get(), "3");
    ASSERT_NE(logArea, nullptr);
    EXPECT_TRUE(logArea->isReadOnly());
    const QString shown = logArea->toPlainText();
    const QString all = platform::qt::toQString(log.bytes()).remove(u'\r');
    EXPECT_GT(shown.size(), 1000);
    EXPECT_TRUE(all.endsWith(shown));
    EXPECT_TRUE(shown.startsWith(q(".var")));
    EXPECT_LE(static_cast<size_t>(logArea->document()->blockCount()),
              2 * ui::kStoreAreaTailLines + 1);
}

}  // namespace
}  // namespace uitest
