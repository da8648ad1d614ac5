// Where the program's writes land: read-only files and folders, the program's own folders,
// imports, exports and the backup copy of the list file.
#include <sys/stat.h>

#include "app_fixture.h"

namespace shelltest {
namespace {

using Kind = testsupport::ScriptedDialogs::Kind;

TEST_F(AppTest, WritableSettingsFileInAReadOnlyProgramFolderStillLetsTheWindowClose) {
    writeBytes(iniPath(), "[setting]\r\nwait1=9\r\n");
    fs::permissions(iniPath(), fs::perms::all);
    fs::permissions(m_dir, fs::perms::all);
    fs::permissions(m_dir / "bin", fs::perms::owner_all | fs::perms::group_read |
                                       fs::perms::group_exec | fs::perms::others_read |
                                       fs::perms::others_exec);
    // Root may create files in any folder, so the program runs as an ordinary user.
    EXPECT_EXIT(
        {
            if (geteuid() == 0 && setuid(65534) != 0) std::exit(2);
            start();
            st().settings.endWait = "5";
            m_dialogs.answer(true);
            std::exit(m_app->start().closeQuery() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_NE(readBytes(iniPath()).find("wait1=5\r\n"), std::string::npos);
}

TEST_F(AppTest, ReadOnlyListFileIsNeverReplacedAndTheSaveSaysSo) {
    writeList({rec(1, "F0000000", "a")});
    std::string before = listBytes();
    ::chmod((m_dir / "list.csv").c_str(), 0444);
    start();
    m_app->listEditor().rowClicked(0, true);
    EXPECT_FALSE(m_app->listSave());
    EXPECT_EQ(listBytes(), before);
    ASSERT_EQ(m_dialogs.shown().size(), 1u);
    EXPECT_EQ(m_dialogs.shown()[0].kind, Kind::Error);
    EXPECT_EQ(m_dialogs.shownUtf8()[0], "list.csv に書き込めません");
}

TEST_F(AppTest, ProgramFolderCodePage932CannotHoldIsUsedByItsNativeName) {
    fs::path folder = m_dir / "Müller";
    fs::create_directories(folder);
    m_app = std::make_unique<shell::App>(m_loop, m_dialogs, folder / "qlx-setting");
    m_app->start().startUp();
    st().filterText = "a";
    m_app->applyFilter();
    m_dialogs.answer(true);
    EXPECT_TRUE(m_app->start().closeQuery());
    EXPECT_TRUE(fs::exists(folder / "qlx-setting.Ini"));
    EXPECT_EQ(readBytes(folder / "data" / "filterword.txt"), "a\r\n");
    int entries = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(m_dir)) ++entries;
    EXPECT_EQ(entries, 2);  // "bin" and "Müller": no look-alike sibling
}

TEST_F(AppTest, ExportOverTheLoadedFileKeepsItsBackupBesideAnOlderOne) {
    std::vector<std::string> lines;
    for (int i = 1; i <= 1001; ++i) lines.push_back(rec(i, "F0000000", "n"));
    writeList(lines);
    std::string original = listBytes();
    writeBytes(m_dir / "list.csv.bak", "older");
    start();
    m_app->listEditor().enterListEdit();
    m_dialogs.answerFile((m_dir / "list.csv").string());  // the name the chooser proposes
    m_app->listExport();
    EXPECT_EQ(readBytes(m_dir / "list.csv.bak"), "older");
    EXPECT_EQ(readBytes(m_dir / "list.csv.bak2"), original);
    EXPECT_EQ(listBytes(), st().listStore.toBytes());
    // The copy is made once; a later save neither repeats it nor touches the older one.
    m_dialogs.answer(true);
    m_app->listEditor().leaveListEdit();
    EXPECT_FALSE(fs::exists(m_dir / "list.csv.bak3"));
    EXPECT_EQ(readBytes(m_dir / "list.csv.bak"), "older");
}

// A list with a second name loses it at the window's first write: the operator is told so once,
// before it; a symbolic link is written through and says nothing.
TEST_F(AppTest, AListWithASecondNameIsWarnedOfBeforeTheFirstWrite) {
    const std::string warning =
        "list.csv には別の名前 (ハードリンク) があります。保存すると、この名前のファイルだけが"
        "新しくなり、別の名前のファイルは元のまま残ります。";
    for (bool hardLink : {true, false}) {
        SCOPED_TRACE(hardLink ? "hard link" : "symbolic link");
        fs::remove(m_dir / "other.csv");
        writeList({rec(1, "F0000000", "a")});
        const std::string before = listBytes();
        if (hardLink)
            fs::create_hard_link(m_dir / "list.csv", m_dir / "other.csv");
        else
            fs::create_symlink(m_dir / "list.csv", m_dir / "other.csv");
        start();
        m_app->listEditor().rowClicked(0, true);
        EXPECT_TRUE(m_app->listSave());
        EXPECT_TRUE(m_app->listSave());
        EXPECT_EQ(m_dialogs.shownUtf8(),
                  hardLink ? std::vector<std::string>{warning} : std::vector<std::string>{});
        EXPECT_EQ(st().commLogView.toBytes().find(sj(warning)) != std::string::npos, hardLink);
        EXPECT_EQ(readBytes(m_dir / "other.csv") == before, hardLink);  // the old list
        EXPECT_NE(listBytes(), before);
        m_dialogs.clear();
    }
}

}  // namespace
}  // namespace shelltest
