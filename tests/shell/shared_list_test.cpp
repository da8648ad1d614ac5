// The window beside a runner: both write one list file, with the operator editing in between,
// and nothing either wrote is lost; and the report every bulk run leaves in the work folder.
#include <optional>

#include "session_fixture.h"

namespace shelltest {
namespace {

std::vector<std::string> cells(const std::string& csvLine) {
    std::vector<std::string> out(1);
    for (char c : csvLine) {
        if (c == ',') {
            out.emplace_back();
        } else {
            out.back().push_back(c);
        }
    }
    return out;
}

TEST_F(Sessions, EveryBulkRunLeavesItsReportAndTranscripts) {
    struct Case {
        const char* name;
        bool stopInSecond;
        const char* report;  // a second run in the same second takes the next name (RunRecord)
        std::vector<std::string> codes;
    };
    const Case cases[] = {{"whole run", false, "run-20261207-090503", {"000", "104", "404"}},
                          {"stopped", true, "run-20261207-090503-2", {"000", "104"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startWith({checked(1, "dev1"), checked(2, "dev2"), checked(3, "dev3")});
        m_dialogs.answer(true);
        ctl().bulkCheck();
        play(0, transcript(false));
        ASSERT_TRUE(runUntil([&] { return conns() == 2; }));
        if (c.stopInSecond) ctl().stop();
        play(1, kRefused);
        ASSERT_TRUE(runUntil([&] { return idle(); }, 60000));

        const fs::path folder = st().workFolderPath;
        const fs::path report = folder / (std::string(c.report) + ".csv");
        const std::string csv = readBytes(report);
        const std::vector<std::string> rows = devlist::LineStore::fromFileBytes(csv).lines();
        ASSERT_EQ(rows.size(), c.codes.size() + 1);
        for (size_t i = 0; i < c.codes.size(); ++i) {
            auto f = cells(rows[i + 1]);
            ASSERT_EQ(f.size(), 12u);
            const std::string no = devlist::ZeroPad(static_cast<long long>(i) + 1, 3);
            EXPECT_EQ(f[7], c.codes[i]);
            EXPECT_EQ(f[11], "yes");  // the result is in the list
            // Every served device's transcript, failures included.
            const fs::path transcriptFile =
                folder / c.report / ("No" + no + "-127.0.0." + std::to_string(i + 1) + ".txt");
            EXPECT_TRUE(fs::is_regular_file(transcriptFile));
            const std::string t = readBytes(transcriptFile);
            const char* said[] = {"Welcome", "Incorrect", ""};
            EXPECT_NE(t.find(said[i]), std::string::npos) << t;
        }
        const auto& log = st().commLogView.lines();
        // The log names the report by its whole path; a whole run's summary (its count and
        // its two failures) follows it.
        const std::string named = "2026/12/07 09:05:03 " + sj("一斉接続の結果を ") +
                                  report.string() + sj(" に記録しました");
        EXPECT_EQ(c.stopInSecond ? log.back() : log.end()[-4], named);
        m_dialogs.clear();
    }
}

// A runner serves records 4 to 6 while the window runs a bulk check over 1 to 3; the operator
// edits in between. Every result and every edit is in the file at the end.
TEST_F(Sessions, TheWindowAndARunnerOnOneListLoseNothing) {
    startWith({checked(1, "dev1"), checked(2, "dev2"), checked(3, "dev3"), unchecked(4, "dev4"),
               unchecked(5, "dev5"), unchecked(6, "dev6")});
    Runner runner(listPath());
    auto record = [&](int no, int result, const std::string& at) {
        EXPECT_EQ(runner.record(no - 1, runnerResult(result, "2026/12/07 " + at)), kWritten) << no;
    };

    m_dialogs.answer(true);
    ctl().bulkCheck();
    record(4, session::kResultOk, "09:10:04");
    play(0, transcript(false));
    ASSERT_TRUE(runUntil([&] { return conns() == 2; }));
    // The window took the file as it was after its own result.
    EXPECT_EQ(field(3, devlist::kModelVersion), "RUNNER");
    EXPECT_EQ(field(0, devlist::kModelVersion), "V1.23");

    // The operator renames record 6's device and checks record 5 (kept in the window only).
    m_app->selectRow(5);
    m_app->listEditor().editSelected();
    st().edit.rec.deviceName = "newname";
    m_app->listEditor().saveRecord();
    record(6, session::kResultTimeOut, "09:10:06");
    record(5, session::kResultLoginError, "09:10:05");
    m_app->listEditor().rowClicked(4, true);
    play(1, kRefused);
    ASSERT_TRUE(runUntil([&] { return conns() == 3; }));
    play(2, transcript(false));
    ASSERT_TRUE(runUntil([&] { return idle(); }, 60000));

    // List editing: a working copy taken before the runner's next result is applied after it.
    m_app->listEditor().enterListEdit();
    m_app->selectRow(0);
    m_app->listEditor().moveDown();
    record(4, session::kResultExists, "09:20:04");
    applyYes();
    m_app->listEditor().leaveListEdit();

    const devlist::LineStore file = fileLines();
    struct Want {
        const char* name;
        const char* message;
        const char* password;
        bool checked;
        const char* version;
    };
    const Want want[] = {{"dev2", "#104 NG ID/PASS Login Error", "plume", true, "V1.00"},
                         {"dev1", "#000 OK 正常送信", "plume", true, "V1.23"},
                         {"dev3", "#000 OK 正常送信", "plume", true, "V1.23"},
                         {"dev4", "#108 NG already exists.", "plume", false, "RUNNER"},
                         {"dev5", "#104 NG ID/PASS Login Error", "plume", true, "RUNNER"},
                         {"dev6", "#404 NG Time Out", "plume", false, "RUNNER"}};
    ASSERT_EQ(file.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        const std::string& l = file[i];
        EXPECT_EQ(devlist::FieldGet(devlist::kListName, l), want[i].name) << l;
        EXPECT_EQ(devlist::FieldGet(devlist::kMessage, l), sj(want[i].message)) << l;
        EXPECT_EQ(devlist::FieldGet(devlist::kPassword, l), want[i].password) << l;
        EXPECT_EQ(devlist::FieldGet(devlist::kFlags, l).back() == '1', want[i].checked) << l;
        EXPECT_EQ(devlist::FieldGet(devlist::kModelVersion, l), want[i].version) << l;
    }
    EXPECT_EQ(devlist::FieldGet(devlist::kDeviceName, file[5]), "newname");
    EXPECT_EQ(st().listStore.lines(), file.lines());
}

// A result that comes in while list-edit changes are pending is in the working copy too, so
// "適用" does not put the old result back; leaving without applying keeps it as well.
TEST_F(Sessions, AResultDuringListEditSurvivesTheEdit) {
    for (bool apply : {true, false}) {
        SCOPED_TRACE(apply ? "applied" : "dropped");
        startWith({unchecked(1, "dev1"), unchecked(2, "dev2"), unchecked(3, "dev3")});
        m_app->selectRow(2);
        m_dialogs.answer(true);
        ctl().singleCheck();
        m_app->leaveRecordEdit();  // "戻る"
        m_app->listEditor().enterListEdit();
        m_app->selectRow(0);
        m_app->listEditor().moveDown();
        ASSERT_TRUE(runUntil([&] { return !infos().empty(); }));
        m_dialogs.answer(true);
        apply ? m_app->listEditor().applyListEdit() : m_app->listEditor().leaveListEdit();
        const std::string bytes = listBytes();
        const size_t at = bytes.find("dev3");
        ASSERT_NE(at, std::string::npos);
        EXPECT_NE(bytes.find("#404 NG Time Out", at), std::string::npos) << bytes;
        EXPECT_EQ(bytes.find("dev2") < bytes.find("dev1"), apply) << bytes;
        m_dialogs.clear();
    }
}

// The window's result reaches the file through the run's writer, and what the window merges its
// next save against holds it: the save keeps the result, and does not put it back over a
// runner's newer one either.
TEST_F(Sessions, ASaveAfterTheWindowsResultNeitherLosesNorRevertsIt) {
    for (bool runnerAfter : {false, true}) {
        SCOPED_TRACE(runnerAfter ? "a runner's result after it" : "the window's alone");
        startWith({unchecked(1, "dev1"), unchecked(2, "dev2"), unchecked(3, "dev3")});
        m_app->selectRow(2);
        m_dialogs.answer(true);
        ctl().singleCheck();
        ASSERT_TRUE(runUntil([&] { return !infos().empty(); }));
        EXPECT_EQ(ctl().writesPending(), 0u);
        if (runnerAfter) {
            ASSERT_EQ(Runner(listPath())
                          .record(2, runnerResult(session::kResultOk, "2026/12/07 09:30:00")),
                      kWritten);
        }
        m_app->selectRow(0);
        m_app->listEditor().editSelected();
        st().edit.rec.deviceName = "renamed";
        m_app->listEditor().saveRecord();
        const devlist::LineStore file = fileLines();
        EXPECT_EQ(devlist::FieldGet(devlist::kDeviceName, file[0]), "renamed");
        EXPECT_EQ(devlist::FieldGet(devlist::kMessage, file[2]),
                  runnerAfter ? sj("#000 OK 正常送信") : "#404 NG Time Out");
        EXPECT_EQ(devlist::FieldGet(devlist::kModelVersion, file[2]),
                  runnerAfter ? "RUNNER" : "V1.00");
        m_dialogs.clear();
    }
}

// The window's result waits for the list's lock on the writer's thread, not on the loop: the
// loop runs on while another program holds the lock, and the result is in once it lets go.
TEST_F(Sessions, TheWindowsResultWaitsForTheLockOffTheLoop) {
    startWith({unchecked(1, "dev1"), unchecked(2, "dev2")});
    const std::string before = listBytes();
    std::optional<fleet::ListLock> held(std::in_place, listPath());
    m_app->selectRow(1);
    m_dialogs.answer(true);
    ctl().singleCheck();
    m_loop.advance(20000);  // past the time-out, the lock still held
    EXPECT_EQ(ctl().writesPending(), 1u);
    EXPECT_TRUE(infos().empty());
    EXPECT_EQ(listBytes(), before);
    held.reset();
    ASSERT_TRUE(runUntil([&] { return !infos().empty(); }));
    EXPECT_EQ(infos().back(), "No.002" + sj(" 結果:#404 NG Time Out"));
    EXPECT_EQ(field(1, devlist::kMessage), "#404 NG Time Out");
    EXPECT_NE(listBytes().find("#404 NG Time Out"), std::string::npos);
}

}  // namespace
}  // namespace shelltest
