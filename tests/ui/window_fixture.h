// Starts the real window on a list in a temporary folder: the list file, the settings file and
// the work folder all lie there, the dialogs are scripted and time is virtual.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <memory>
#include <string>

#include "fake_event_loop.h"
#include "platform/files.h"
#include "scripted_dialogs.h"
#include "shell/app.h"
#include "text/cp932.h"
#include "ui/main_window.h"

namespace uitest {

inline QString q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Three records: a checked member of groups 1 and 3 with a full line; one whose device name
// holds a byte that is no code page 932 character (it must survive an edit of other fields);
// one with a long file name and empty fields.
inline std::string sampleList() {
    return text::sj(
               "001,F0001011,Office A,127.168.1.10,80,23,00:ee:80:00:00:01,QLX-100 v1.2,dev1,"
               "admin,plume,c:\\data\\a.txt,2024/01/02 10:00:00,#000 OK 正常送信\r\n") +
           text::sj("002,F0000000,本社 受付,127.168.1.11,80,23,00:ee:80:00:00:02,QLX-200,dev") +
           "\xA0" + "x,admin,plume,defalt.txt,,\r\n" +
           "003,F0000100,Lab,127.0.0.2,8080,2323,00:ee:80:00:00:03,,,admin,plume,"
           "c:\\settings_long_name.txt,,\r\n";
}

class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override { start(sampleList()); }

    void start(const std::string& listBytes, const std::string& settingsBytes = {},
               const shell::Devices& devices = {}) {
        ASSERT_TRUE(m_dir.isValid());
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        m_oldCwd = cwd;
        m_path = m_dir.path().toStdString();
        ASSERT_EQ(chdir(m_path.c_str()), 0);
        ASSERT_TRUE(platform::writeFileAtomic("list.csv", listBytes));
        if (!settingsBytes.empty()) {
            ASSERT_TRUE(platform::writeFileAtomic(m_path + "/qlx-setting.Ini", settingsBytes));
        }
        m_app = std::make_unique<shell::App>(m_loop, m_dialogs, m_path + "/qlx-setting", devices);
        m_window = std::make_unique<ui::MainWindow>(*m_app);
        m_app->start().startUp();
        m_window->refresh();
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void TearDown() override {
        m_window.reset();
        m_app.reset();
        if (!m_oldCwd.empty()) {
            EXPECT_EQ(chdir(m_oldCwd.c_str()), 0);
        }
    }

    shell::WindowState& state() { return m_app->state(); }
    // The enlarged layout, as the hidden-mode code gives it.
    void enlarge() {
        state().enlargedLayout = true;
        state().clientWidth = shell::kEnlargedWidth;
        state().clientHeight = shell::kEnlargedHeight;
        m_window->refresh();
    }
    std::string listFileBytes() { return platform::readFile(m_path + "/list.csv").value_or(""); }

    // The first widget of type W under root whose accessible name is name.
    template <class W>
    static W* named(QWidget* root, const char* name) {
        for (W* w : root->findChildren<W*>()) {
            if (w->accessibleName() == q(name)) return w;
        }
        return nullptr;
    }
    static void click(QAbstractButton* b) {
        ASSERT_NE(b, nullptr);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    // A real double click: press and release, then the double-click press (QTest's own
    // double click sends the last one alone, which a view takes for a plain press).
    static void doubleClick(QWidget* w, QPoint at) {
        QTest::mouseClick(w, Qt::LeftButton, {}, at);
        QTest::mouseDClick(w, Qt::LeftButton, {}, at);
    }
    // Types text as key presses, also characters beyond Latin-1.
    static void type(QWidget* w, const QString& text) {
        for (QChar c : text) {
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }

    QTemporaryDir m_dir;
    std::string m_path;
    std::string m_oldCwd;
    testsupport::FakeEventLoop m_loop;
    testsupport::ScriptedDialogs m_dialogs;
    std::unique_ptr<shell::App> m_app;
    std::unique_ptr<ui::MainWindow> m_window;
};

}  // namespace uitest
