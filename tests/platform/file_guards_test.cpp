// What guards the program's files against a folder that changes under it: a batch's spare is
// used only while its name still stands for it, and scratch folders left by killed programs are
// removed by the next one.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/files.h"
#include "platform/scratch_folder.h"

namespace {

namespace fs = std::filesystem;

class FileGuards : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qlx-guards-XXXXXX";
        m_dir = mkdtemp(tmpl);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    fs::path m_dir;
};

// Someone takes the spare's name between two saves of a batch: the next save must neither put
// their file or link at its target nor lose its bytes.
TEST_F(FileGuards, ABatchNeverExchangesASpareWhoseNameWasTaken) {
    enum class Take { Link, OtherFile, Removed };
    for (Take take : {Take::Link, Take::OtherFile, Take::Removed}) {
        SCOPED_TRACE(static_cast<int>(take));
        const fs::path dir = m_dir / std::to_string(static_cast<int>(take));
        fs::create_directories(dir);
        const fs::path outside = m_dir / "outside.txt";
        ASSERT_TRUE(platform::writeFileAtomicNative(outside, "outside"));
        for (const char* n : {"a.txt", "b.txt"})
            ASSERT_TRUE(platform::writeFileAtomicNative(dir / n, "old"));
        platform::SaveBatch batch;
        ASSERT_TRUE(batch.write(dir / "a.txt", "a1"));  // leaves the old a.txt as the spare
        fs::path spare;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().filename().string().find(".qlxsave-") != std::string::npos) spare = e;
        ASSERT_FALSE(spare.empty());
        fs::remove(spare);
        if (take == Take::Link) fs::create_symlink(outside, spare);
        if (take == Take::OtherFile) {
            std::ofstream(spare) << "planted";
        }
        EXPECT_TRUE(batch.write(dir / "b.txt", "b1"));
        EXPECT_FALSE(fs::is_symlink(dir / "b.txt"));
        EXPECT_EQ(read(dir / "b.txt"), "b1");
        EXPECT_EQ(read(dir / "a.txt"), "a1");
        EXPECT_EQ(read(outside), "outside");
        EXPECT_TRUE(batch.finish(dir));
    }
}

// A killed program's scratch folder is nobody's: the next sweep removes it with its files. A
// living one, a link named like one and names of another shape stay.
TEST_F(FileGuards, ASweepRemovesOnlyScratchFoldersNobodyHolds) {
    const std::string prefix = "qlx-plan-";
    auto live = platform::ScratchFolder::make(m_dir, prefix);
    ASSERT_TRUE(live);
    std::ofstream(live->path() / "q2.txt") << "dump";
    fs::create_directories(m_dir / "qlx-plan-Ab12Cd" / "sub");
    std::ofstream(m_dir / "qlx-plan-Ab12Cd" / "q2.txt") << "left";
    fs::create_directories(m_dir / "kept");
    fs::create_symlink(m_dir / "kept", m_dir / "qlx-plan-link00");
    fs::create_directories(m_dir / "qlx-plan-longer-name");
    platform::sweepScratchFolders(m_dir, prefix);
    EXPECT_FALSE(fs::exists(m_dir / "qlx-plan-Ab12Cd"));
    EXPECT_EQ(read(live->path() / "q2.txt"), "dump");
    EXPECT_TRUE(fs::is_symlink(m_dir / "qlx-plan-link00"));
    EXPECT_TRUE(fs::is_directory(m_dir / "kept"));
    EXPECT_TRUE(fs::is_directory(m_dir / "qlx-plan-longer-name"));
    const fs::path gone = live->path();
    live.reset();
    EXPECT_FALSE(fs::exists(gone));
}

}  // namespace
