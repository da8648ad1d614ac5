// Start-up, the settings file round trip, the close confirmation and the list file's load.
#include <sys/stat.h>

#include "app_fixture.h"
#include "fake_host_address.h"
#include "fake_udp_socket.h"
#include "shell/lan_search.h"

namespace shelltest {
namespace {

using shell::Control;

TEST_F(AppTest, StartsWithDefaultsWhenNoSettingsFileExists) {
    start();
    EXPECT_EQ(st().clientWidth, 1024);
    EXPECT_EQ(st().clientHeight, 670);
    // The boxes a settings file fills are as the close writes them (CloseWritesEveryKey...).
    EXPECT_EQ(st().listFilePath, "list.csv");
    EXPECT_EQ(st().settings.startWait, "1");
    EXPECT_FALSE(st().isEnabled(Control::Apply));
    EXPECT_FALSE(st().isEnabled(Control::Stop));
    EXPECT_TRUE(st().listStore.empty());
    EXPECT_EQ(st().countLabel, "0 / 0");
    // The record editor holds the defaults, the number label is empty.
    EXPECT_EQ(st().edit.rec.listName, "no name");
    EXPECT_EQ(st().edit.rec.flags, "F0000000");
    EXPECT_EQ(st().edit.numberLabel, "");
    // The work folder beside the program exists and is shown without its separator.
    EXPECT_TRUE(fs::is_directory(m_dir / "bin" / "data"));
    EXPECT_EQ(st().settings.workFolder, (m_dir / "bin" / "data").string());
    EXPECT_EQ(st().workFolder, (m_dir / "bin" / "data").string() + "/");
    EXPECT_FALSE(fs::exists(iniPath()));  // created only at the first close
}

TEST_F(AppTest, ReadsEveryKeyInItsFormAndFallsBackOnMalformedValues) {
    writeBytes(iniPath(),
               "[setting]\r\ndata1=abc\r\nfolder1=/elsewhere\r\nwait1=x5\r\n"
               "listcsv=my.csv\r\nfile2=" +
                   sj("c:\\data\\共通.txt") +
                   "\r\nsort1=0x3\r\nsort2=1\r\nfselect=5\r\n"
                   "chk2=yes\r\nchk3=2\r\nchk4=0\r\nchk6=0\r\nchk7=1\r\n");
    start();
    // What a run reads too, and how malformed values fall back, is asserted with the core's
    // reader (RunSettings); here what only the window reads, and that the boxes take it all.
    const auto& b = st().settings;
    EXPECT_EQ(b.passKey, "abc");
    EXPECT_EQ(b.endWait, "x5");
    EXPECT_EQ(b.commonSendFile, sj("c:\\data\\共通.txt"));
    EXPECT_EQ(b.sortKey, 3);  // hexadecimal: "File"
    EXPECT_EQ(b.sortOrder, 1);
    // Whatever folder1 held, the program's data folder replaces it.
    EXPECT_EQ(b.workFolder, (m_dir / "bin" / "data").string());
}

TEST_F(AppTest, OutOfRangeSortIndexLeavesNoSelectionAndIsWrittenAsMinusOne) {
    writeBytes(iniPath(), "[setting]\r\nsort1=9\r\nfselect=-7\r\n");
    start();
    EXPECT_EQ(st().settings.sortKey, -1);
    EXPECT_EQ(st().settings.sendMethod, -1);
    m_dialogs.answer(true);
    EXPECT_TRUE(m_app->start().closeQuery());
    std::string ini = readBytes(iniPath());
    EXPECT_NE(ini.find("sort1=-1\r\n"), std::string::npos);
    EXPECT_NE(ini.find("fselect=-1\r\n"), std::string::npos);
}

TEST_F(AppTest, HiddenModeCodeEnlargesOnlyWhenItMatchesExactly) {
    writeBytes(iniPath(), "[setting]\r\ndebug=QPD1987Tool\r\n");
    start();
    EXPECT_TRUE(st().enlargedLayout);
    EXPECT_EQ(st().clientWidth, 1400);
    EXPECT_EQ(st().clientHeight, 800);

    writeBytes(iniPath(), "[setting]\r\ndebug=qpd1987tool\r\n");
    start();
    EXPECT_FALSE(st().enlargedLayout);
    EXPECT_EQ(st().clientWidth, 1024);
}

TEST_F(AppTest, CloseWritesEveryKeyInOrderAndKeepsForeignLines) {
    start();
    m_dialogs.answer(true);
    EXPECT_TRUE(m_app->start().closeQuery());
    std::string data = (m_dir / "bin" / "data").string();
    EXPECT_EQ(readBytes(iniPath()),
              "[setting]\r\ndata1=7391\r\nfolder1=" + data +
                  "\r\nwait1=2\r\nlistcsv=list.csv\r\nfile2=\r\nsort1=0\r\nsort2=0\r\n"
                  "fselect=0\r\nchk2=1\r\nchk3=0\r\nchk4=0\r\nchk6=1\r\nchk7=0\r\n");
    EXPECT_EQ(m_dialogs.shownUtf8(), std::vector<std::string>{"終了してよろしいですか？"});
}

TEST_F(AppTest, HandEditedSettingsFileKeepsDebugEntryAndOtherLinesAcrossSaves) {
    std::string original =
        "; operator notes\r\n[other]\r\nx=1\r\n\r\n[setting]\r\nwait1=5\r\ndebug=QPD1987Tool\r\n"
        "pace=prompt\r\nchk7=1\r\n";
    writeBytes(iniPath(), original);
    start();
    st().settings.endWait = "7";
    m_dialogs.answer(false);  // Cancel: the window stays, the settings are written anyway
    EXPECT_FALSE(m_app->start().closeQuery());
    std::string ini = readBytes(iniPath());
    EXPECT_EQ(ini.rfind("; operator notes\r\n[other]\r\nx=1\r\n\r\n[setting]\r\nwait1=7\r\n"
                        "debug=QPD1987Tool\r\npace=prompt\r\nchk7=1\r\n",
                        0),
              0u)
        << ini;
    EXPECT_NE(ini.find("listcsv=list.csv\r\n"), std::string::npos);
    // A second start still sees the hidden-mode code.
    start();
    EXPECT_TRUE(st().enlargedLayout);
}

// The settings file is written at every close request; when it cannot be, the error box is
// followed by a question that lets the operator end the program without it.
TEST_F(AppTest, CloseWritesTheSettingsAndAnUnwritableFileNeverKeepsTheWindowOpen) {
    using Kind = testsupport::ScriptedDialogs::Kind;
    const std::string cannot = iniPath().string() + " に書き込めません";
    struct Case {
        const char* name;
        bool writable;
        std::vector<bool> answers;
        bool closes;
        std::vector<std::string> shown;
    };
    const Case cases[] = {
        {"written, OK", true, {true}, true, {"終了してよろしいですか？"}},
        {"written, Cancel", true, {false}, false, {"終了してよろしいですか？"}},
        {"unwritable, OK then OK closes without it",
         false,
         {true, true},
         true,
         {"終了してよろしいですか？", cannot, "設定を保存せずに終了しますか？"}},
        {"unwritable, OK then Cancel stays",
         false,
         {true, false},
         false,
         {"終了してよろしいですか？", cannot, "設定を保存せずに終了しますか？"}},
        {"unwritable, Cancel stays without a second question",
         false,
         {false},
         false,
         {"終了してよろしいですか？", cannot}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::error_code ec;
        fs::remove_all(iniPath(), ec);
        start();
        if (!c.writable) fs::create_directories(iniPath());  // a folder where the file should be
        m_dialogs.clear();
        for (bool a : c.answers) m_dialogs.answer(a);
        EXPECT_EQ(m_app->start().closeQuery(), c.closes);
        EXPECT_EQ(m_dialogs.shownUtf8(), c.shown);
        if (!c.writable) {
            EXPECT_EQ(m_dialogs.shown()[1].kind, Kind::Error);
        }
        EXPECT_EQ(fs::is_regular_file(iniPath()), c.writable);
        EXPECT_TRUE(m_dialogs.allAnswersUsed());
    }
}

TEST_F(AppTest, SettingsFileThatCannotBeReadIsNotReplacedAndTheCloseIsRefused) {
    std::string original = "[mine]\r\nkeep=1\r\n[setting]\r\nwait1=9\r\n";
    writeBytes(iniPath(), original);
    fs::permissions(iniPath(), fs::perms::owner_write);
    fs::permissions(m_dir, fs::perms::all);
    fs::permissions(m_dir / "bin", fs::perms::all);
    // Root reads any file, so the program runs as an ordinary user in a child process.
    EXPECT_EXIT(
        {
            if (geteuid() == 0 && setuid(65534) != 0) std::exit(2);
            start();
            m_dialogs.answer(true);
            m_dialogs.answer(false);  // not "設定を保存せずに終了しますか？": the window stays
            bool refused = !m_app->start().closeQuery();
            bool told = m_dialogs.shownUtf8().at(1) == iniPath().string() + " に書き込めません";
            std::exit(refused && told ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    fs::permissions(iniPath(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(readBytes(iniPath()), original);
}

// "ownip" is written by hand: an address the command line would refuse is reported once in
// the communication log and left out, so the search asks the host, as without the key. Which
// texts are addresses, and the order, are the core's (OwnAddress in the fleet tests).
TEST_F(AppTest, OwnIpFromTheSettingsFileIsCheckedAsTheCommandLineIs) {
    testsupport::FakeUdpNetwork net{m_loop};
    testsupport::FakeHostAddress host;
    m_devices.udp = &net;
    m_devices.host = &host;
    const std::string logged =
        "設定ファイルの ownip はIPv4アドレス(A.B.C.D)ではないため、使用しません。";
    struct Case {
        const char* ownip;
        const char* commandLine;
        const char* used;
        bool reported;
    };
    const Case cases[] = {
        {"127.0.0.9", "", "127.0.0.9", false},
        {"localhost", "", "", true},
        {"bad", "127.0.0.5", "127.0.0.5", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ownip);
        writeBytes(iniPath(), std::string("[setting]\r\nownip=") + c.ownip + "\r\n");
        m_app = std::make_unique<shell::App>(m_loop, m_dialogs,
                                             (m_dir / "bin" / "qlx-setting").string(), m_devices);
        m_app->start().setOwnAddress(c.commandLine);
        m_app->start().startUp();
        EXPECT_EQ(m_app->lanSearch()->ownAddress(), c.used);
        size_t reports = 0;
        for (const auto& line : st().commLogView.lines()) {
            if (line.find(sj(logged)) != std::string::npos) ++reports;
        }
        EXPECT_EQ(reports, c.reported ? 1u : 0u);
    }
    m_app.reset();  // before the fakes it uses
}

TEST_F(AppTest, GarbageSettingsFileGivesDefaults) {
    std::string garbage;
    for (int i = 0; i < 5000; ++i) garbage += static_cast<char>((i * 7919) % 256);
    garbage += std::string("\0[setting]\0chk2=\0", 17);
    writeBytes(iniPath(), garbage);
    start();
    EXPECT_EQ(st().settings.listFile, "list.csv");
    m_dialogs.answer(true);
    EXPECT_TRUE(m_app->start().closeQuery());
}

TEST_F(AppTest, LoadsRecordsNumberedByLinePositionAndShowsThem) {
    writeList({"005,F0001001,a,127.0.0.5", "junk", "009,F0000000,b,127.0.0.9"});
    start();
    ASSERT_EQ(st().listStore.size(), 2u);
    EXPECT_EQ(st().listStore[0], "001,F0001001,a,127.0.0.5");
    EXPECT_EQ(st().listStore[1], "003,F0000000,b,127.0.0.9");
    EXPECT_EQ(st().viewStore, st().listStore);
    ASSERT_EQ(st().listView.size(), 2u);
    EXPECT_TRUE(st().listView[0].checked);
    EXPECT_FALSE(st().listView[1].checked);
    EXPECT_EQ(st().countLabel, "2 / 2");
}

TEST_F(AppTest, DamagedListFileIsKeptAsBakBeforeItsFirstRewrite) {
    std::string original = "001,F0000000,a\r\nnot a record\r\n002,F0000000,b\r\n";
    writeBytes(m_dir / "list.csv", original);
    start();
    EXPECT_FALSE(fs::exists(m_dir / "list.csv.bak"));  // nothing rewritten yet
    settingsAndBack();                                 // rewrites the list file
    EXPECT_EQ(readBytes(m_dir / "list.csv.bak"), original);
    EXPECT_EQ(listBytes(), "001,F0000000,a\r\n003,F0000000,b\r\n");
    // Only the first rewrite keeps a copy: the next one leaves the copy alone.
    settingsAndBack();
    EXPECT_EQ(readBytes(m_dir / "list.csv.bak"), original);
}

TEST_F(AppTest, CleanListFileIsRewrittenByteForByteWithoutBak) {
    writeList({rec(1, "F0000001", "a"), rec(2, "F0000000", sj("受付"))});
    std::string before = listBytes();
    start();
    settingsAndBack();
    EXPECT_EQ(listBytes(), before);
    EXPECT_FALSE(fs::exists(m_dir / "list.csv.bak"));
}

TEST_F(AppTest, BadListFilesNeverCrashAndLoseNothing) {
    // Random bytes, NULs, invalid code page 932, a 1 MB line and 1,200 lines.
    std::string random;
    for (int i = 0; i < 20000; ++i) random += static_cast<char>((i * 2654435761u) >> 24);
    std::string nuls = std::string("001,F0000000,a\0b,127.0.0.1\r\n", 27) + std::string(50, '\0');
    std::string invalid = "001,F0000000,\x81\xFF\x82,\xA0\xFD\r\n";
    std::string huge = "001,F0000000," + std::string(1 << 20, 'x') + "\r\n";
    std::string many;
    for (int i = 1; i <= 1200; ++i) many += rec(i, "F0000000", "n" + std::to_string(i)) + "\r\n";
    for (const std::string& content : {random, nuls, invalid, huge, many}) {
        writeBytes(m_dir / "list.csv", content);
        fs::remove(m_dir / "list.csv.bak");
        start();
        EXPECT_LE(st().listStore.size(), 999u);
        settingsAndBack();
        if (fs::exists(m_dir / "list.csv.bak")) {
            EXPECT_EQ(readBytes(m_dir / "list.csv.bak"), content);
        } else {
            EXPECT_EQ(listBytes(), content);
        }
    }
}

TEST_F(AppTest, DirectoryWhereTheListFileShouldBeStartsEmptyAndReportsTheFailedSave) {
    fs::create_directories(m_dir / "list.csv");
    start();
    EXPECT_TRUE(st().listStore.empty());
    settingsAndBack();
    ASSERT_EQ(m_dialogs.shown().size(), 1u);
    EXPECT_EQ(m_dialogs.shownUtf8()[0], "list.csv に書き込めません");
    EXPECT_TRUE(fs::is_directory(m_dir / "list.csv"));
}

TEST_F(AppTest, ListFileThatCannotBeReadIsNeverOverwritten) {
    writeList({rec(1, "F0000000", "a")});
    std::string before = listBytes();
    fs::permissions(m_dir / "list.csv", fs::perms::owner_write);
    fs::permissions(m_dir, fs::perms::all);
    fs::permissions(m_dir / "bin", fs::perms::all);
    // Root reads any file, so the program runs as an ordinary user in a child process.
    EXPECT_EXIT(
        {
            if (geteuid() == 0 && setuid(65534) != 0) std::exit(2);
            start();
            settingsAndBack();
            bool ok =
                st().listStore.empty() &&
                m_dialogs.shownUtf8() == std::vector<std::string>{"list.csv に書き込めません"};
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    fs::permissions(m_dir / "list.csv", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(listBytes(), before);
}

TEST_F(AppTest, FilterHistoryIsLoadedFromTheWorkFolder) {
    fs::create_directories(m_dir / "bin" / "data");
    std::string words;
    for (int i = 0; i < 20; ++i) words += "w" + std::to_string(i) + "\r\n";
    writeBytes(m_dir / "bin" / "data" / "filterword.txt", words);
    start();
    ASSERT_EQ(st().filterHistory.words().size(), 20u);
    st().filterText = "new";
    m_app->applyFilter();  // which word it drops is the history's rule (FilterHistory)
    EXPECT_EQ(st().filterHistory.words().front(), "new");
}

}  // namespace
}  // namespace shelltest

namespace shelltest {
namespace {

mode_t modeOf(const fs::path& p) {
    return static_cast<mode_t>(fs::status(p).permissions() & fs::perms::mask);
}

// The list file holds every device's login in plain text: what the program makes anew for it
// (an installed program's folders, a new list or settings file) is the user's alone; a file
// that exists keeps its mode.
TEST_F(AppTest, FoldersAndFilesMadeAnewAreTheUsersAlone) {
    const mode_t oldMask = ::umask(022);
    fs::create_directories(m_dir / "share/qlx-setting");
    writeBytes(m_dir / "share/qlx-setting/installed", "");
    const fleet::UserEnvironment home{(m_dir / "home").string(), "", ""};
    fs::create_directories(m_dir / "home");
    m_devices.environment = &home;
    start();
    for (const char* made :
         {".local", ".local/share/qlx-setting", ".local/share/qlx-setting/data"}) {
        EXPECT_EQ(modeOf(m_dir / "home" / made), 0700u) << made;
    }
    m_dialogs.answer(true);
    ASSERT_TRUE(m_app->start().closeQuery());
    EXPECT_EQ(modeOf(m_dir / "home/.config/qlx-setting"), 0700u);
    EXPECT_EQ(modeOf(m_dir / "home/.config/qlx-setting/qlx-setting.Ini"), 0600u);
    ASSERT_TRUE(m_app->listSave());
    EXPECT_EQ(modeOf(m_dir / "list.csv"), 0600u);

    // Files the user made or opened up stay as they are.
    fs::permissions(m_dir / "list.csv", static_cast<fs::perms>(0640));
    fs::permissions(m_dir / "home/.config/qlx-setting/qlx-setting.Ini",
                    static_cast<fs::perms>(0644));
    ASSERT_TRUE(m_app->listSave());
    m_dialogs.answer(true);
    ASSERT_TRUE(m_app->start().closeQuery());
    EXPECT_EQ(modeOf(m_dir / "list.csv"), 0640u);
    EXPECT_EQ(modeOf(m_dir / "home/.config/qlx-setting/qlx-setting.Ini"), 0644u);

    // A program beside its files keeps its work folder as the umask makes it.
    m_devices.environment = nullptr;
    fs::remove(m_dir / "share/qlx-setting/installed");
    start();
    EXPECT_EQ(modeOf(m_dir / "bin/data"), 0755u);
    ::umask(oldMask);
}

// A first start with no list file says where the list is looked for and how devices get in;
// a start on an existing list, even an empty one, says nothing.
TEST_F(AppTest, FirstStartWithoutAListFileSaysWhereItGoesAndHowToAddDevices) {
    struct Case {
        const char* listcsv;  // settings "listcsv"
        bool listExists;
        std::string shown;  // the path in the note; empty: no note
    };
    const Case cases[] = {
        {"list.csv", false, (m_dir / "list.csv").string()},
        {"sub/../fleet.csv", false, (m_dir / "fleet.csv").string()},
        {"/nowhere/devices.csv", false, "/nowhere/devices.csv"},
        {"list.csv", true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.listcsv);
        fs::remove(m_dir / "list.csv");
        if (c.listExists) writeBytes(m_dir / "list.csv", "");
        writeBytes(iniPath(), std::string("[setting]\r\nlistcsv=") + c.listcsv + "\r\n");
        start();
        const auto& log = st().commLogView.lines();
        if (c.shown.empty()) {
            EXPECT_TRUE(log.empty());
            continue;
        }
        ASSERT_EQ(log.size(), 1u);
        const std::string want =
            sj("リストファイル ") + c.shown +
            sj(" はまだありません。機器は「List編集」で追加するか、「List編集」の「LAN上 検索」で"
               "見つけて登録してください。");
        EXPECT_EQ(log[0].substr(log[0].size() - want.size()), want);
    }
}

}  // namespace
}  // namespace shelltest
