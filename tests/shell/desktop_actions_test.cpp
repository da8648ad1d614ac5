// The choosers, viewers and web-page hand-off against a fake desktop and a real work folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "fake_desktop.h"
#include "scratch_dir.h"
#include "scripted_dialogs.h"
#include "shell/desktop_actions.h"
#include "text/cp932.h"

namespace {

namespace fs = std::filesystem;
using text::sj;

std::string record(const std::string& no, const std::string& name, const std::string& ip,
                   const std::string& httpPort) {
    return no + ",F0000000," + name + "," + ip + "," + httpPort +
           ",23,00:ee:80:00:00:01,V1.00,dev,admin,plume,defalt.txt,,";
}

// Runs a step while the question is open, as the event loop may.
class DialogsWithEvents : public testsupport::ScriptedDialogs {
public:
    bool confirm(const std::string& text) override {
        bool answer = ScriptedDialogs::confirm(text);
        if (duringQuestion) duringQuestion();
        return answer;
    }
    std::function<void()> duringQuestion;
};

class DesktopActionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_actions.setLogger([this](const std::string& line) { m_log.push_back(line); });
        // A work folder with a Japanese name: the state holds it in code page 932.
        m_work = m_dir / fs::path("作業");
        fs::create_directories(m_work);
        m_state.workFolder = text::fromPath(m_work) + "/";
        m_state.workFolderPath = m_work;
        m_state.listStore.clear();
        m_state.listStore.append(record("001", "first", "127.0.0.4", "80"));
        m_state.listStore.append(record("002", "name", "127.0.0.5", "8080") + ",QLX-No001");
        m_state.listView = {{"001 first"}, {"002 name"}};
    }
    fs::path touch(const std::string& cp932Name) {
        fs::path p = m_work / text::toPath(cp932Name);
        std::ofstream(p) << "x";
        return p;
    }

    testsupport::ScratchDir m_dir;
    fs::path m_work;
    shell::WindowState m_state;
    DialogsWithEvents m_dialogs;
    testsupport::FakeDesktop m_desktop;
    shell::DesktopActions m_actions{m_state, m_dialogs, m_desktop, "/opt/qlx/"};
    std::vector<std::string> m_log;
};

TEST_F(DesktopActionsTest, ViewersOpenTheDeviceFileOfTheSaveNameOrNothing) {
    using A = shell::DesktopActions;
    using View = void (A::*)();
    struct Case {
        View view;
        std::string saveName;
        std::string present;      // the one file in the work folder
        std::string opened;       // empty: nothing opened
        std::string number = "";  // the editor's record number
    };
    const std::string ja = sj("機器");
    const Case cases[] = {
        {&A::viewPreWriteVariables, "QLX01", "QLX01q1.txt", "QLX01q1.txt"},
        {&A::viewPostWriteVariables, "QLX01", "QLX01q2.txt", "QLX01q2.txt"},
        {&A::viewDeviceLog20, "QLX01", "QLX01l20.txt", "QLX01l20.txt"},
        {&A::viewCommLog, "QLX01", "QLX01r1.txt", "QLX01r1.txt"},
        // The session writes "R1.txt"; the viewer asks for "r1.txt".
        {&A::viewCommLog, "QLX01", "QLX01R1.txt", "QLX01R1.txt"},
        {&A::viewCommLog, ja, ja + "R1.txt", ja + "R1.txt"},
        // The bare names are never a record's. Without a save name, a record's files are
        // under the name no other record has; record 2's own save name takes it from 1.
        {&A::viewPreWriteVariables, "", "q1.txt", ""},
        {&A::viewDeviceLog20, "", "QLX-No002l20.txt", "QLX-No002l20.txt", "2"},
        {&A::viewCommLog, "", "QLX-No001_R1.txt", "QLX-No001_R1.txt", "1"},
        {&A::viewPreWriteVariables, "QLX01", "QLX01q2.txt", ""},
        {&A::viewDeviceLog20, "QLX02", "QLX01l20.txt", ""},
        {&A::viewCommLog, "QLX01", "QLX01R1.txt.bak", ""},
        // "ア" and "ヂ" differ only in a trail byte that looks like "A" / "a".
        {&A::viewCommLog, sj("ア"), sj("ヂ") + "R1.txt", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.present + " for save name " + c.saveName);
        fs::remove_all(m_work);
        fs::create_directories(m_work);
        touch(c.present);
        m_desktop.files.clear();
        m_state.edit.saveName = c.saveName;
        m_state.edit.numberLabel = c.number;
        (m_actions.*c.view)();
        if (c.opened.empty()) {
            EXPECT_TRUE(m_desktop.files.empty());
        } else {
            ASSERT_EQ(m_desktop.files.size(), 1u);
            EXPECT_EQ(m_desktop.files[0], m_work / text::toPath(c.opened));
        }
    }
    EXPECT_TRUE(m_dialogs.shown().empty());
}

TEST_F(DesktopActionsTest, SendFileViewerOpensTheBoxPathOnlyWhenTheFileExists) {
    fs::path file = touch(sj("設定.txt"));
    m_state.edit.rec.sendFile = text::fromPath(file);
    m_actions.viewSendFile();
    ASSERT_EQ(m_desktop.files.size(), 1u);
    EXPECT_EQ(m_desktop.files[0], file);

    for (std::string missing : {text::fromPath(m_work / "missing.txt"), std::string()}) {
        m_state.edit.rec.sendFile = missing;
        m_actions.viewSendFile();
    }
    EXPECT_EQ(m_desktop.files.size(), 1u);
}

TEST_F(DesktopActionsTest, ChoosersFillTheirBoxFromTheProgramFolderAndKeepItOnCancel) {
    m_state.edit.rec.sendFile = "old.txt";
    m_state.settings.commonSendFile = "common.txt";
    for (auto answer : {std::optional<std::string>("/opt/qlx/a.txt"), std::optional<std::string>()})
        m_dialogs.answerFile(answer);
    m_actions.chooseSendFile();
    m_actions.chooseCommonSendFile();
    EXPECT_EQ(m_state.edit.rec.sendFile, "/opt/qlx/a.txt");
    EXPECT_EQ(m_state.settings.commonSendFile, "common.txt");

    ASSERT_EQ(m_dialogs.shown().size(), 2u);
    for (const auto& shown : m_dialogs.shown()) {
        EXPECT_EQ(shown.kind, testsupport::ScriptedDialogs::Kind::OpenFile);
        EXPECT_EQ(shown.choice.title, sj("設定TXTファイルを指定してください。"));
        EXPECT_EQ(shown.choice.filter, "*.txt");
        EXPECT_EQ(shown.choice.directory, "/opt/qlx/");
    }
}

TEST_F(DesktopActionsTest, WebPageOpensTheRecordAsItIsAfterTheQuestionAndNothingOnCancel) {
    m_state.selectedRow = 0;
    m_dialogs.answer(false);
    m_actions.openDeviceWebPage();

    m_dialogs.duringQuestion = [&] {
        m_state.listStore[0] = record("001", "first", "127.0.0.9", "81");
    };
    m_dialogs.answer(true);
    m_actions.openDeviceWebPage();
    EXPECT_EQ(m_desktop.urls, std::vector<std::string>{"http://127.0.0.9:81"});

    // A list reloaded without the record while the question was open: nothing is opened.
    m_dialogs.duringQuestion = [&] { m_state.listStore.clear(); };
    m_dialogs.answer(true);
    m_actions.openDeviceWebPage();
    EXPECT_EQ(m_desktop.urls.size(), 1u);
    EXPECT_EQ(m_dialogs.shown().size(), 3u);
}

TEST_F(DesktopActionsTest, WebPageAsksWithTheRecordAndTakesAPortOfDigitsAfterTrimmingBlanks) {
    struct Case {
        std::string port;
        std::string url;  // empty: no question, nothing opened, one log line
    };
    const Case cases[] = {
        {"80 ", "http://127.0.0.5:80"},
        {" 8080\t", "http://127.0.0.5:8080"},
        {"", "http://127.0.0.5:"},
        {"80@other.host", ""},
        {"80/x", ""},
        {"8 0", ""},
        {"-80", ""},
        {sj("８０"), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        m_state.listStore[1] = record("002", "name", "127.0.0.5", c.port);
        m_state.selectedRow = 1;
        m_desktop.urls.clear();
        m_log.clear();
        const size_t questions = m_dialogs.shown().size();
        if (!c.url.empty()) m_dialogs.answer(true);
        m_actions.openDeviceWebPage();
        if (c.url.empty()) {
            EXPECT_EQ(m_dialogs.shown().size(), questions);
            EXPECT_TRUE(m_desktop.urls.empty());
            ASSERT_EQ(m_log.size(), 1u);
            EXPECT_EQ(m_log[0].rfind("No.002 ", 0), 0u);
        } else {
            EXPECT_EQ(m_dialogs.shown().size(), questions + 1);
            EXPECT_EQ(m_dialogs.shown().back().text,
                      sj("No.002 name [127.0.0.5] HTML接続しますか？"));
            EXPECT_EQ(m_desktop.urls, std::vector<std::string>{c.url});
            EXPECT_TRUE(m_log.empty());
        }
    }
    EXPECT_TRUE(m_dialogs.allAnswersUsed());
}

TEST_F(DesktopActionsTest, AMissingOpenerIsToldInTheLogOncePerClick) {
    m_desktop.hasOpener = false;
    touch("QLX01q1.txt");
    m_state.edit.saveName = "QLX01";
    fs::path sendFile = touch("send.txt");
    m_state.edit.rec.sendFile = text::fromPath(sendFile);
    m_state.selectedRow = 1;
    m_dialogs.answer(true);
    m_actions.viewPreWriteVariables();
    m_actions.viewSendFile();
    m_actions.openDeviceWebPage();
    EXPECT_EQ(m_desktop.files.size(), 2u);
    EXPECT_EQ(m_desktop.urls.size(), 1u);
    ASSERT_EQ(m_log.size(), 3u);
    for (const std::string& line : m_log) EXPECT_NE(line.find("xdg-open"), std::string::npos);
    EXPECT_NE(m_log[0].find("QLX01q1.txt"), std::string::npos);
    EXPECT_NE(m_log[2].find("http://127.0.0.5:8080"), std::string::npos);

    // With the opener present nothing is logged.
    m_desktop.hasOpener = true;
    m_actions.viewSendFile();
    EXPECT_EQ(m_log.size(), 3u);
}

}  // namespace
