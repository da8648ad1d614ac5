// The waiting primitive on virtual time, and the file helpers' atomic replace.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "fake_clock.h"
#include "fake_event_loop.h"
#include "file_bytes.h"
#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/files.h"
#include "platform/scratch_folder.h"
#include "text/cp932.h"

namespace {

using testsupport::FakeEventLoop;

TEST(Delay, DispatchesAtLeastOnceAndEndsJustPastTheDeadline) {
    FakeEventLoop loop;
    loop.setNow(1000);
    int ran = 0;
    loop.post([&] { ++ran; });
    platform::Delay(loop, 0);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(loop.tickCount(), 1001u);

    platform::Delay(loop, 200);
    EXPECT_EQ(loop.tickCount(), 1202u);
}

TEST(Delay, RunsEventsThatArriveDuringTheWaitReentrantly) {
    FakeEventLoop loop;
    std::vector<uint32_t> seen;
    loop.postAt(50, [&] {
        seen.push_back(loop.tickCount());
        platform::Delay(loop, 30);  // a handler that waits inside the wait
        seen.push_back(loop.tickCount());
    });
    loop.postAt(150, [&] { seen.push_back(loop.tickCount()); });
    platform::Delay(loop, 100);
    EXPECT_EQ(seen, (std::vector<uint32_t>{50, 81}));
    EXPECT_GE(loop.tickCount(), 101u);
    EXPECT_LT(loop.tickCount(), 150u);
}

TEST(Delay, SurvivesTheWrapOfTheMillisecondCounter) {
    FakeEventLoop loop;
    loop.setNow(0xFFFFFFF0u);
    platform::Delay(loop, 100);
    EXPECT_EQ(loop.tickCount(), 0xFFFFFFF0u + 101u);
}

TEST(Timers, FireRepeatedlyInVirtualTimeUntilStopped) {
    FakeEventLoop loop;
    auto t = loop.createTimer();
    int fired = 0;
    t->setCallback([&] {
        if (++fired == 3) t->stop();
    });
    t->start(500);
    loop.advance(5000);
    EXPECT_EQ(fired, 3);
    EXPECT_FALSE(t->isActive());
}

TEST(Timers, NeverReenterTheirOwnCallbackAndFireOnceMoreAfterItReturns) {
    FakeEventLoop loop;
    auto t = loop.createTimer();
    int depth = 0, deepest = 0;
    std::vector<uint32_t> fired;
    t->setCallback([&] {
        fired.push_back(loop.tickCount());
        deepest = std::max(deepest, ++depth);
        if (fired.size() == 1) platform::Delay(loop, 350);  // waits across three periods
        --depth;
    });
    t->start(100);
    loop.advance(600);
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(fired, (std::vector<uint32_t>{100, 451, 551}));
}

TEST(Timers, DueTimesHoldAcrossTheCounterWrap) {
    FakeEventLoop loop;
    loop.setNow(0u - 256u);
    auto t = loop.createTimer();
    int fired = 0;
    t->setCallback([&] { ++fired; });
    t->start(5000);
    bool posted = false;
    loop.postAt(0u - 256u + 3000u, [&] { posted = true; });
    loop.advance(2999);
    EXPECT_EQ(fired, 0);
    EXPECT_FALSE(posted);
    loop.advance(1);
    EXPECT_TRUE(posted);
    loop.advance(1999);
    EXPECT_EQ(fired, 0);
    loop.advance(1);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(loop.tickCount(), 4744u);
}

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qlx-files-XXXXXX";
        m_dir = mkdtemp(tmpl);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string path(const std::string& name) { return (m_dir / name).string(); }
    std::filesystem::path m_dir;
};

TEST_F(FilesTest, AtomicWriteReplacesWholeAndLeavesNoTemporaryFiles) {
    std::string p = path("list.csv");
    ASSERT_TRUE(platform::writeFileAtomic(p, "old\r\n"));
    ASSERT_TRUE(platform::writeFileAtomic(p, std::string("new\0\r\n", 6)));
    EXPECT_EQ(*platform::readFile(p), std::string("new\0\r\n", 6));
    int entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(m_dir)) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST_F(FilesTest, FailedWritesReportFailureAndKeepTheOldFile) {
    std::filesystem::create_directory(m_dir / "dir");
    EXPECT_FALSE(platform::writeFileAtomic(path("dir"), "x"));
    EXPECT_FALSE(platform::writeFileAtomic(path("missing/sub/file"), "x"));
    EXPECT_FALSE(platform::writeFileAtomic("", "x"));
    EXPECT_FALSE(platform::readFile(path("dir")));
    EXPECT_FALSE(platform::readFile(path("none")));
}

struct stat statOf(const std::filesystem::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st;
}

TEST_F(FilesTest, ReplacingKeepsModeOwnerAndGroup) {
    std::string p = path("list.csv");
    ASSERT_TRUE(platform::writeFileAtomic(p, "old"));
    ::chmod(p.c_str(), 0640);
    bool privileged = ::geteuid() == 0;
    if (privileged) {
        ASSERT_EQ(::chown(p.c_str(), 1234, 1235), 0);
    }
    ASSERT_TRUE(platform::writeFileAtomic(p, "new"));
    struct stat st = statOf(p);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (privileged) {
        EXPECT_EQ(st.st_uid, 1234u);
        EXPECT_EQ(st.st_gid, 1235u);
    }
}

// The list and settings files hold the devices' logins: made anew they are the user's alone,
// while a file that exists keeps the mode its owner gave it.
TEST_F(FilesTest, OwnerOnlyFilesAndFoldersAreMadePrivateAndExistingOnesKeepTheirMode) {
    using platform::Access;
    const mode_t oldMask = ::umask(022);
    struct Case {
        const char* name;
        Access access;
        int existingMode;  // -1: the file is made by the write
        mode_t want;
    };
    const Case cases[] = {
        {"new-private.csv", Access::OwnerOnly, -1, 0600},
        {"new-shared.txt", Access::Shared, -1, 0644},
        {"kept-open.csv", Access::OwnerOnly, 0644, 0644},
        {"kept-group.csv", Access::OwnerOnly, 0660, 0660},
    };
    for (const Case& c : cases) {
        std::string p = path(c.name);
        if (c.existingMode >= 0) {
            ASSERT_TRUE(platform::writeFileAtomic(p, "old"));
            ::chmod(p.c_str(), static_cast<mode_t>(c.existingMode));
        }
        ASSERT_TRUE(platform::writeFileAtomic(p, "new", c.access)) << c.name;
        EXPECT_EQ(statOf(p).st_mode & 07777, c.want) << c.name;
        ASSERT_TRUE(platform::writeFileAtomicNative(m_dir / (std::string("n-") + c.name), "new",
                                                    platform::Links::Follow, c.access));
        if (c.existingMode < 0) {
            EXPECT_EQ(statOf(m_dir / (std::string("n-") + c.name)).st_mode & 07777, c.want);
        }
    }

    // Every folder made on the way is private; one that existed is left as it was.
    std::filesystem::create_directory(m_dir / "home");
    ::chmod((m_dir / "home").c_str(), 0755);
    ASSERT_TRUE(
        platform::createDirectoriesNative(m_dir / "home/.config/qlx-setting", Access::OwnerOnly));
    EXPECT_EQ(statOf(m_dir / "home").st_mode & 07777, 0755u);
    EXPECT_EQ(statOf(m_dir / "home/.config").st_mode & 07777, 0700u);
    EXPECT_EQ(statOf(m_dir / "home/.config/qlx-setting").st_mode & 07777, 0700u);
    ASSERT_TRUE(platform::createDirectoriesNative(m_dir / "shared/data"));
    EXPECT_EQ(statOf(m_dir / "shared/data").st_mode & 07777, 0755u);
    EXPECT_FALSE(
        platform::createDirectoriesNative(m_dir / "new-private.csv/sub", Access::OwnerOnly));
    ::umask(oldMask);
}

TEST_F(FilesTest, ReadOnlyFileIsNeverReplacedWritableFileInReadOnlyFolderIsWrittenInPlace) {
    std::string locked = path("locked.csv");
    ASSERT_TRUE(platform::writeFileAtomic(locked, "old"));
    ::chmod(locked.c_str(), 0444);
    EXPECT_FALSE(platform::writeFileAtomic(locked, "new"));
    EXPECT_EQ(*platform::readFile(locked), "old");
    EXPECT_EQ(statOf(locked).st_mode & 07777, 0444u);

    std::string p = path("qlx.Ini");
    ASSERT_TRUE(platform::writeFileAtomic(p, "a longer old text"));
    ino_t inode = statOf(p).st_ino;
    ::chmod(m_dir.c_str(), 0555);
    EXPECT_TRUE(platform::writeFileAtomic(p, "new"));
    EXPECT_FALSE(platform::writeFileAtomic(path("other"), "x"));  // no file to write into
    ::chmod(m_dir.c_str(), 0755);
    EXPECT_EQ(*platform::readFile(p), "new");
    EXPECT_EQ(statOf(p).st_ino, inode);
    EXPECT_FALSE(platform::fileExists(path("other")));
}

TEST_F(FilesTest, JapaneseNamesAreStoredAsUtf8OnDisk) {
    std::string p = path("") + text::sj("一覧.csv");
    ASSERT_TRUE(platform::writeFileAtomic(p, "a"));
    EXPECT_TRUE(std::filesystem::exists(m_dir / "一覧.csv"));
    EXPECT_TRUE(platform::fileExists(p));
}

std::string linkTarget(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_symlink(std::filesystem::symlink_status(p, ec))
               ? std::filesystem::read_symlink(p, ec).string()
               : std::string();
}

// A file named from device data may meet a link planted at its name: such a save replaces the
// link (or fails where no new file can be made) and never writes the file it names. The list
// and settings files are written through their links.
TEST_F(FilesTest, DeviceNamedFilesReplaceAPlantedLinkListAndSettingsFilesFollowIt) {
    namespace fs = std::filesystem;
    struct Case {
        const char* name;
        const char* pointsTo;  // relative to the folder
        platform::Links links;
        bool folderTakesNewFiles;
        bool saved;
        bool linkStays;
        const char* victimAfter;
    };
    const Case cases[] = {
        {"replace a link to a file", "victim", platform::Links::Replace, true, true, false,
         "precious"},
        {"replace a dangling link", "missing", platform::Links::Replace, true, true, false,
         "precious"},
        {"replace a link to a folder", "sub", platform::Links::Replace, true, true, false,
         "precious"},
        {"refuse where no new file can be made", "victim", platform::Links::Replace, false, false,
         true, "precious"},
        {"follow for the list file", "victim", platform::Links::Follow, true, true, true, "new"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path work = m_dir / "work";
        fs::remove_all(work);
        fs::create_directories(work / "sub");
        ASSERT_TRUE(platform::writeFileAtomicNative(work / "victim", "precious"));
        fs::create_symlink(c.pointsTo, work / "QLX00EE80000001l20.txt");
        if (!c.folderTakesNewFiles) ::chmod(work.c_str(), 0555);
        EXPECT_EQ(platform::writeFileAtomicNative(work / "QLX00EE80000001l20.txt", "new", c.links),
                  c.saved);
        ::chmod(work.c_str(), 0755);
        EXPECT_EQ(*platform::readFileNative(work / "victim"), c.victimAfter);
        EXPECT_EQ(linkTarget(work / "QLX00EE80000001l20.txt").empty(), !c.linkStays);
        if (c.saved) {
            EXPECT_EQ(*platform::readFileNative(work / "QLX00EE80000001l20.txt"), "new");
        }
        EXPECT_TRUE(fs::is_directory(work / "sub"));
    }
}

// A save killed between making its temporary file and the rename leaves "<name>.qlxsave-*"
// behind; the next save of that name removes it. A temporary file another save still holds,
// and files of other names, stay.
TEST_F(FilesTest, TheNextSaveRemovesTemporaryFilesAKilledSaveLeft) {
    namespace fs = std::filesystem;
    for (const char* n : {"list.csv.qlxsave-123-456", "list.csv.qlxsave-77-8", "other.qlxsave-1-2",
                          "list.csv.qlxsave-x", "list.csv.bak"}) {
        ASSERT_TRUE(platform::writeFileAtomic(path(n), "left"));
    }
    int held = ::open(path("list.csv.qlxsave-77-8").c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);  // a save in progress elsewhere
    ASSERT_TRUE(platform::writeFileAtomic(path("list.csv"), "list"));
    ::close(held);
    std::set<std::string> names;
    for (auto& e : fs::directory_iterator(m_dir)) names.insert(e.path().filename().string());
    EXPECT_EQ(names,
              (std::set<std::string>{"list.csv", "list.csv.qlxsave-77-8", "other.qlxsave-1-2",
                                     "list.csv.qlxsave-x", "list.csv.bak"}));
}

// A fleet run sweeps its work folder once instead of scanning it at every device file: the sweep
// removes what killed saves of any file left, and a save that is told the folder was swept
// does not look.
TEST_F(FilesTest, ASweepRemovesTheLeftoversOfEveryFileASweptSaveLooksForNone) {
    namespace fs = std::filesystem;
    const std::vector<std::string> left = {"a.txt.qlxsave-1-2", "b.txt.qlxsave-33-4",
                                           "a.txt.qlxsave-5-6"};
    const std::vector<std::string> kept = {"held.txt.qlxsave-7-8", "c.txt.qlxsave-x",
                                           ".qlxsave-1-2", "d.txt"};
    for (const auto& n : left) ASSERT_TRUE(platform::writeFileAtomic(path(n), "left"));
    for (const auto& n : kept) ASSERT_TRUE(platform::writeFileAtomic(path(n), "kept"));
    int held = ::open(path("held.txt.qlxsave-7-8").c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);  // a save in progress elsewhere
    auto names = [this] {
        std::set<std::string> out;
        for (auto& e : fs::directory_iterator(m_dir)) out.insert(e.path().filename().string());
        return out;
    };
    platform::SaveBatch batch;
    ASSERT_TRUE(batch.write(fs::path(path("a.txt")), "a"));
    EXPECT_EQ(names().count("a.txt.qlxsave-1-2"), 1u) << "a save of a batch does not look";
    EXPECT_TRUE(batch.finish(m_dir));
    platform::sweepStaleTemporaries(m_dir);
    ::close(held);
    std::set<std::string> expected(kept.begin(), kept.end());
    expected.insert("a.txt");
    EXPECT_EQ(names(), expected);
}

// Where no temporary file can be made (no free inode), the save rewrites the file in place.
// A disk without room for the new text refuses before a byte changes; with room, the file
// ends up exactly the new text, longer or shorter. Needs a small tmpfs, so root.
TEST_F(FilesTest, AnInPlaceSaveOnAFullDiskLeavesTheOldFileWhole) {
    std::filesystem::path fsDir = m_dir / "small";
    std::filesystem::create_directory(fsDir);
    if (::mount("tmpfs", fsDir.c_str(), "tmpfs", 0, "size=64k,nr_inodes=3") != 0) {
        GTEST_SKIP() << "mounting a small tmpfs is not permitted here";
    }
    struct Unmount {
        std::filesystem::path p;
        ~Unmount() { ::umount2(p.c_str(), MNT_DETACH); }
    } unmount{fsDir};

    std::string old;
    for (int i = 1; i <= 300; ++i) old += "record " + std::to_string(i) + ",F0000000,x,y,z\r\n";
    std::string list = (fsDir / "list.csv").string();
    ASSERT_TRUE(platform::writeFileAtomic(list, old));
    ino_t inode = statOf(list).st_ino;
    // The last inode and every free block go to a filler file.
    int filler = ::open((fsDir / "filler").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(filler, 0);
    std::string block(4096, 'f');
    while (::write(filler, block.data(), block.size()) > 0) {
    }

    std::string longer = std::string(9000, 'n') + old;
    EXPECT_FALSE(platform::writeFileAtomic(list, longer));
    EXPECT_EQ(*platform::readFile(list), old);

    ASSERT_EQ(::ftruncate(filler, 0), 0);  // room again, still no inode
    ::close(filler);
    EXPECT_TRUE(platform::writeFileAtomic(list, longer));
    EXPECT_EQ(*platform::readFile(list), longer);
    EXPECT_TRUE(platform::writeFileAtomic(list, "short\r\n"));
    EXPECT_EQ(*platform::readFile(list), "short\r\n");
    EXPECT_EQ(statOf(list).st_ino, inode);  // written in place each time
}

TEST(ClockTexts, AreZeroPaddedTwentyFourHourWithSlashesAndColons) {
    platform::LocalTime t{2007, 3, 4, 21, 5, 9};
    EXPECT_EQ(platform::dateText(t), "2007/03/04");
    EXPECT_EQ(platform::shortDateText(t), "07/03/04");
    EXPECT_EQ(platform::timeText(t), "21:05:09");
    EXPECT_EQ(platform::isoText(t), "2007-03-04T21:05:09+00:00");
    t.utcOffsetSeconds = 9 * 3600;
    EXPECT_EQ(platform::isoText(t), "2007-03-04T21:05:09+09:00");
    t.utcOffsetSeconds = -(3 * 3600 + 30 * 60);
    EXPECT_EQ(platform::isoText(t), "2007-03-04T21:05:09-03:30");
    platform::SystemClock clock;
    platform::LocalTime now = clock.now();
    EXPECT_EQ(platform::dateText(now).size(), 10u);
    EXPECT_GE(now.year, 2024);
}

TEST(PathParts, SplitAtSlashBackslashAndDriveColonButNotInsideTwoByteCharacters) {
    EXPECT_EQ(platform::namePart("c:\\data\\sub\\settings_long_name.txt"),
              "settings_long_name.txt");
    EXPECT_EQ(platform::folderPart("c:\\data\\x.txt"), "c:\\data\\");
    EXPECT_EQ(platform::namePart("c:x.txt"), "x.txt");
    EXPECT_EQ(platform::namePart("/a/b"), "b");
    // "表" is 0x95 0x5C: its second byte is no separator.
    std::string name = text::sj("表.txt");
    EXPECT_EQ(platform::namePart("dir/" + name), name);
    EXPECT_EQ(platform::namePart(name), name);
}

// A batch replaces files that exist by exchanging them with its spare: every file ends with its
// own bytes and mode, a file with another name elsewhere is never written through, a sweep
// while the batch runs leaves its spare alone, and nothing of the batch is left after it.
TEST_F(FilesTest, ABatchReplacesFilesInPlaceOfNoneAndWritesThroughNoOtherName) {
    namespace fs = std::filesystem;
    auto read = [this](const std::string& n) {
        std::ifstream in(path(n), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    auto names = [this] {
        std::set<std::string> out;
        for (auto& e : fs::directory_iterator(m_dir)) out.insert(e.path().filename().string());
        return out;
    };
    for (const char* n : {"a.txt", "b.txt", "c.txt"})
        ASSERT_TRUE(platform::writeFileAtomic(path(n), "old"));
    ::chmod(path("b.txt").c_str(), 0640);
    ASSERT_TRUE(platform::writeFileAtomic(path("elsewhere.txt"), "keep"));
    ASSERT_EQ(::link(path("elsewhere.txt").c_str(), path("c.txt").c_str()), -1);  // c.txt exists
    ASSERT_EQ(::unlink(path("c.txt").c_str()), 0);
    ASSERT_EQ(::link(path("elsewhere.txt").c_str(), path("c.txt").c_str()), 0);
    {
        platform::SaveBatch batch;
        struct Save {
            const char* name;
            const char* bytes;
        };
        // c.txt comes back as the spare after its exchange and must be let go, not written.
        for (const Save& s : {Save{"a.txt", "a1"}, Save{"c.txt", "c1"}, Save{"b.txt", "b1"},
                              Save{"d.txt", "d1"}, Save{"a.txt", "a2"}, Save{"b.txt", "b2"}}) {
            ASSERT_TRUE(batch.write(fs::path(path(s.name)), s.bytes)) << s.name;
            platform::sweepStaleTemporaries(m_dir);  // another run starting on the folder
        }
        EXPECT_EQ(names().size(), 6u) << "the spare is kept while the batch runs";
        EXPECT_TRUE(batch.finish(m_dir));
    }
    EXPECT_EQ(names(),
              (std::set<std::string>{"a.txt", "b.txt", "c.txt", "d.txt", "elsewhere.txt"}));
    EXPECT_EQ(read("a.txt"), "a2");
    EXPECT_EQ(read("b.txt"), "b2");
    EXPECT_EQ(read("c.txt"), "c1");
    EXPECT_EQ(read("d.txt"), "d1");
    EXPECT_EQ(read("elsewhere.txt"), "keep");
    struct stat st {};
    ASSERT_EQ(::stat(path("b.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// Someone takes the spare's name between two saves (removing or renaming the spare), or gives
// the spare a second name: the next save neither puts their file or link at its target, nor
// writes through the other name, nor loses its bytes, and what they put at the name stays.
TEST_F(FilesTest, ABatchNeverExchangesASpareWhoseNameWasTaken) {
    namespace fs = std::filesystem;
    using testsupport::readBytes;
    ASSERT_TRUE(platform::writeFileAtomic(path("outside.txt"), "outside"));
    for (const char* take : {"link", "file", "removed", "hard link", "renamed"}) {
        SCOPED_TRACE(take);
        const fs::path dir = m_dir / take;
        fs::create_directories(dir);
        for (const char* n : {"a.txt", "b.txt"})
            ASSERT_TRUE(platform::writeFileAtomicNative(dir / n, "old"));
        platform::SaveBatch batch;
        ASSERT_TRUE(batch.write(dir / "a.txt", "a1"));  // leaves the old a.txt as the spare
        fs::path spare;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().filename().string().find(".qlxsave-") != std::string::npos) spare = e;
        ASSERT_FALSE(spare.empty());
        if (take[0] == 'h') {
            fs::create_hard_link(spare, path("second-name.txt"));
        } else if (take[0] == 'r') {
            fs::rename(spare, dir / "moved.txt");
        } else {
            fs::remove(spare);
        }
        if (take[0] == 'l') fs::create_symlink(path("outside.txt"), spare);
        if (take[0] == 'f' || take[0] == 'r') std::ofstream(spare) << "planted";
        EXPECT_TRUE(batch.write(dir / "b.txt", "b1"));
        EXPECT_FALSE(fs::is_symlink(dir / "b.txt"));
        EXPECT_EQ(readBytes(dir / "b.txt"), "b1");
        EXPECT_EQ(readBytes(dir / "a.txt"), "a1");
        EXPECT_EQ(readBytes(path("outside.txt")), "outside");
        if (take[0] == 'h') {
            EXPECT_EQ(readBytes(path("second-name.txt")), "old");
        }
        if (take[0] == 'f' || take[0] == 'r') {
            EXPECT_EQ(readBytes(spare), "planted");
        }
        EXPECT_TRUE(batch.finish(dir));
    }
}

// A killed program's scratch folder goes with its files; a living one, a link named like one and
// names of another shape stay.
TEST_F(FilesTest, ASweepRemovesOnlyScratchFoldersNobodyHolds) {
    namespace fs = std::filesystem;
    auto live = platform::ScratchFolder::make(m_dir, "qlx-plan-");
    ASSERT_TRUE(live);
    std::ofstream(live->path() / "q2.txt") << "dump";
    fs::create_directories(m_dir / "qlx-plan-Ab12Cd" / "sub");
    std::ofstream(m_dir / "qlx-plan-Ab12Cd" / "q2.txt") << "left";
    fs::create_directories(m_dir / "kept");
    fs::create_symlink(m_dir / "kept", m_dir / "qlx-plan-link00");
    fs::create_directories(m_dir / "qlx-plan-longer-name");
    platform::sweepScratchFolders(m_dir, "qlx-plan-");
    EXPECT_FALSE(fs::exists(m_dir / "qlx-plan-Ab12Cd"));
    EXPECT_EQ(testsupport::readBytes(live->path() / "q2.txt"), "dump");
    EXPECT_TRUE(fs::is_symlink(m_dir / "qlx-plan-link00"));
    EXPECT_TRUE(fs::is_directory(m_dir / "kept"));
    EXPECT_TRUE(fs::is_directory(m_dir / "qlx-plan-longer-name"));
    const fs::path gone = live->path();
    live.reset();
    EXPECT_FALSE(fs::exists(gone));
}

}  // namespace
