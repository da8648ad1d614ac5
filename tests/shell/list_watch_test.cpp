// A runner writes into the list file while the window has it open: the window takes the change
// in by itself, at once when the operator is not editing, and when the edit ends otherwise.
#include "shell/list_watch.h"
#include "session_fixture.h"

namespace shelltest {
namespace {

TEST_F(Sessions, TheWindowTakesInWhatARunnerWritesWhenNoEditIsOpen) {
    struct Case {
        const char* name;
        std::function<void()> open, close;  // what the operator has open while the runner writes
    };
    const Case cases[] = {
        {"nothing open", [] {}, [] {}},
        {"record editor",
         [&] {
             m_app->selectRow(1);
             m_app->listEditor().editSelected();
         },
         [&] { m_app->listEditor().saveRecord(); }},
        {"list editing", [&] { m_app->listEditor().enterListEdit(); },
         [&] { m_app->listEditor().leaveListEdit(); }},
        {"settings", [&] { m_app->openSettings(); }, [&] { m_app->leaveSettings(); }},
    };
    const std::string told =
        sj(" が他のプログラムにより更新されました。1台の記録を読み込み直しました。");
    const std::string later =
        sj(" が他のプログラムにより更新されました。編集を終えると読み込み直します。");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startWith({checked(1, "xa1"), checked(2, "yb2"), checked(3, "xa3")});
        const std::string path = st().listFilePath;
        // A filtered view with a selection keeps both.
        st().filterText = "xa";
        m_app->maskListView();
        c.open();
        const bool editing = st().listEditShown || st().editShown || st().settingsShown;
        if (!editing) m_app->selectRow(1);
        ASSERT_EQ(Runner(path).record(2, runnerResult(session::kResultOk, "2026/12/07 09:10:03")),
                  kWritten);

        m_loop.advance(3 * shell::kListWatchMs);
        const auto& log = st().commLogView.lines();
        if (editing) {
            EXPECT_EQ(field(2, devlist::kModelVersion), "V1.00");
            ASSERT_FALSE(log.empty());
            EXPECT_EQ(log.back(), "2026/12/07 09:05:03 " + path + later);
            const size_t lines = log.size();
            c.close();
            EXPECT_EQ(log.size(), lines);  // said once
            m_loop.advance(shell::kListWatchMs);
        }
        EXPECT_EQ(field(2, devlist::kModelVersion), "RUNNER");
        EXPECT_EQ(st().viewStore[2], st().listStore[2]);
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), "2026/12/07 09:05:03 " + path + told);
        if (!editing) {
            EXPECT_EQ(st().listFilter, "xa");
            ASSERT_EQ(st().listView.size(), 2u);
            EXPECT_EQ(st().selectedRow, 1);
        }
        // The window's own saves are no news.
        const size_t lines = log.size();
        m_app->listSave();
        m_loop.advance(3 * shell::kListWatchMs);
        EXPECT_EQ(log.size(), lines);
        EXPECT_NE(listBytes().find("RUNNER"), std::string::npos);
    }
}

}  // namespace
}  // namespace shelltest
