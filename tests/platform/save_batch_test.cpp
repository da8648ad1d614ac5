// A batch of saves that trusts what it learnt: its folder's look, the mode bits of files it
// replaces and its spare. What it trusts must never let a save do what a careful one refuses.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "file_bytes.h"
#include "platform/files.h"

namespace {

namespace fs = std::filesystem;
using platform::SaveBatch;
using testsupport::readBytes;
using testsupport::writeBytes;

class SaveBatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qlx-batch-XXXXXX";
        m_dir = mkdtemp(tmpl);
    }
    void TearDown() override {
        ::chmod(m_dir.c_str(), 0700);
        fs::remove_all(m_dir);
    }
    fs::path m_dir;
};

ino_t inodeOf(const fs::path& p) {
    struct stat st {};
    ::lstat(p.c_str(), &st);
    return st.st_ino;
}

// The folder turns read-only between two rounds of saves: a file that exists is written in
// place (the same inode), a new one fails with the folder's refusal, a file marked read-only
// is never written, even by a privileged process; once the folder takes files again, the next
// round exchanges as before.
TEST_F(SaveBatchTest, ARoundAfterTheFolderTurnedReadOnlySeesIt) {
    for (const char* n : {"a.txt", "b.txt", "locked.txt"}) writeBytes(m_dir / n, "old");
    ::chmod((m_dir / "locked.txt").c_str(), 0444);
    SaveBatch batch(SaveBatch::Looks::WhenAsked);
    batch.lookAgain();
    ASSERT_TRUE(batch.write(m_dir / "a.txt", "a1"));  // the old a.txt becomes the spare
    const ino_t b = inodeOf(m_dir / "b.txt");

    ASSERT_EQ(::chmod(m_dir.c_str(), 0555), 0);
    batch.lookAgain();
    EXPECT_TRUE(batch.write(m_dir / "b.txt", "b1"));
    EXPECT_EQ(readBytes(m_dir / "b.txt"), "b1");
    EXPECT_EQ(inodeOf(m_dir / "b.txt"), b) << "written in place";
    errno = 0;
    EXPECT_FALSE(batch.write(m_dir / "new.txt", "n"));
    EXPECT_EQ(errno, EACCES);
    EXPECT_FALSE(fs::exists(m_dir / "new.txt"));
    EXPECT_FALSE(batch.write(m_dir / "locked.txt", "x"));
    EXPECT_EQ(readBytes(m_dir / "locked.txt"), "old");

    ASSERT_EQ(::chmod(m_dir.c_str(), 0700), 0);
    batch.lookAgain();
    EXPECT_TRUE(batch.write(m_dir / "b.txt", "b2"));
    EXPECT_EQ(readBytes(m_dir / "b.txt"), "b2");
    EXPECT_NE(inodeOf(m_dir / "b.txt"), b) << "exchanged with the spare";
    EXPECT_TRUE(batch.finish(m_dir));
}

// Within a round the batch does not look again: where the system itself refuses the exchange
// (a process without privilege in a read-only folder), the save looks and writes in place, as a
// careful save would have.
TEST_F(SaveBatchTest, ARefusedExchangeWithinARoundFallsBackAsACarefulSaveWould) {
    if (::geteuid() == 0) GTEST_SKIP() << "a privileged process is not refused";
    for (const char* n : {"a.txt", "b.txt"}) writeBytes(m_dir / n, "old");
    SaveBatch batch(SaveBatch::Looks::WhenAsked);
    ASSERT_TRUE(batch.write(m_dir / "a.txt", "a1"));
    const ino_t b = inodeOf(m_dir / "b.txt");
    ASSERT_EQ(::chmod(m_dir.c_str(), 0555), 0);
    EXPECT_TRUE(batch.write(m_dir / "b.txt", "b1"));
    EXPECT_EQ(readBytes(m_dir / "b.txt"), "b1");
    EXPECT_EQ(inodeOf(m_dir / "b.txt"), b);
    EXPECT_FALSE(batch.write(m_dir / "new.txt", "n"));
    EXPECT_FALSE(fs::exists(m_dir / "new.txt"));
}

// The spare is looked at before a save writes into it: one given to another user between two
// saves is let go under its name and never written.
TEST_F(SaveBatchTest, ASpareThatIsNoLongerTheUsersIsNeverWritten) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving a file away needs privilege";
    for (const char* n : {"a.txt", "b.txt"}) writeBytes(m_dir / n, "old");
    SaveBatch batch;
    ASSERT_TRUE(batch.write(m_dir / "a.txt", "a1"));
    fs::path spare;
    for (const auto& e : fs::directory_iterator(m_dir))
        if (e.path().filename().string().find(".qlxsave-") != std::string::npos) spare = e;
    ASSERT_FALSE(spare.empty());
    ASSERT_EQ(::chown(spare.c_str(), 1234, 1234), 0);
    const int given = ::open(spare.c_str(), O_RDONLY);  // keeps its inode from being reused
    ASSERT_GE(given, 0);
    EXPECT_TRUE(batch.write(m_dir / "b.txt", "b1"));
    EXPECT_EQ(readBytes(m_dir / "b.txt"), "b1");
    char bytes[8] = {};
    EXPECT_EQ(::pread(given, bytes, sizeof bytes, 0), 3);
    EXPECT_EQ(std::string(bytes), "old");
    struct stat st {};
    ASSERT_EQ(::fstat(given, &st), 0);
    EXPECT_EQ(st.st_nlink, 0u) << "let go under its name";
    ::close(given);
    EXPECT_TRUE(batch.finish(m_dir));
}

// A file the batch makes is made without a name and linked at its own: it appears whole, with
// the mode asked for, and nothing else is left in the folder; one someone else made at a name
// is replaced the usual way and keeps its mode.
TEST_F(SaveBatchTest, NewFilesAppearWholeWithTheirModeAndLeaveNothingBehind) {
    const mode_t umask = ::umask(022);
    SaveBatch batch(SaveBatch::Looks::WhenAsked);
    batch.lookAgain();
    EXPECT_TRUE(batch.write(m_dir / "private.txt", "p", platform::Links::Replace,
                            platform::Access::OwnerOnly));
    EXPECT_TRUE(batch.write(m_dir / "shared.txt", std::string(70000, 's')));
    writeBytes(m_dir / "late.txt", "someone else's");
    ::chmod((m_dir / "late.txt").c_str(), 0640);
    EXPECT_TRUE(batch.write(m_dir / "late.txt", "l"));
    ::umask(umask);
    EXPECT_EQ(readBytes(m_dir / "private.txt"), "p");
    EXPECT_EQ(readBytes(m_dir / "shared.txt"), std::string(70000, 's'));
    EXPECT_EQ(readBytes(m_dir / "late.txt"), "l");
    struct stat st {};
    ASSERT_EQ(::stat((m_dir / "private.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat((m_dir / "shared.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    ASSERT_EQ(::stat((m_dir / "late.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_TRUE(batch.finish(m_dir));
    size_t names = 0;
    for (const auto& e : fs::directory_iterator(m_dir)) names += e.is_regular_file();
    EXPECT_EQ(names, 3u);
}

}  // namespace
