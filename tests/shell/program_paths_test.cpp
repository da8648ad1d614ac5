// Where the settings file and the work folder go, for a program beside its files and for an
// installed one.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "shell/program_paths.h"

namespace {

namespace fs = std::filesystem;

class ProgramPathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qlx-paths-XXXXXX";
        m_dir = mkdtemp(tmpl);
        fs::create_directories(m_dir / "bin");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    void install() {
        fs::create_directories(m_dir / "share/qlx-setting");
        std::ofstream(m_dir / "share/qlx-setting/installed");
    }
    std::string program() const { return (m_dir / "bin/qlx-setting").string(); }
    std::string at(const char* rel) const { return (m_dir / rel).string(); }

    fs::path m_dir;
};

TEST_F(ProgramPathsTest, WithoutTheInstallMarkerEverythingStaysBesideTheProgram) {
    auto files = shell::LocateProgramFiles(program(), {"/home/u", "/home/u/cfg", "/home/u/dat"});
    EXPECT_FALSE(files.perUser);
    EXPECT_EQ(files.settingsFile, at("bin/qlx-setting.Ini"));
    EXPECT_EQ(files.workFolder, at("bin/data"));
}

TEST_F(ProgramPathsTest, AnInstalledProgramUsesTheUserFolders) {
    install();
    struct Case {
        shell::UserEnvironment env;
        std::string settings, work;
    };
    const Case cases[] = {
        {{"/home/u", "/x/cfg", "/x/dat"},
         "/x/cfg/qlx-setting/qlx-setting.Ini",
         "/x/dat/qlx-setting/data"},
        {{"/home/u", "", ""},
         "/home/u/.config/qlx-setting/qlx-setting.Ini",
         "/home/u/.local/share/qlx-setting/data"},
        // Relative XDG folders are not to be used.
        {{"/home/u", "cfg", "dat/"},
         "/home/u/.config/qlx-setting/qlx-setting.Ini",
         "/home/u/.local/share/qlx-setting/data"},
        {{"", "/x/cfg/", "/x/dat/"},
         "/x/cfg/qlx-setting/qlx-setting.Ini",
         "/x/dat/qlx-setting/data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        auto files = shell::LocateProgramFiles(program(), c.env);
        EXPECT_TRUE(files.perUser);
        EXPECT_EQ(files.settingsFile, c.settings);
        EXPECT_EQ(files.workFolder, c.work);
    }
}

TEST_F(ProgramPathsTest, AnInstalledProgramWithoutAnyHomeFallsBackBesideItself) {
    install();
    auto files = shell::LocateProgramFiles(program(), {"", "", ""});
    EXPECT_FALSE(files.perUser);
    EXPECT_EQ(files.settingsFile, at("bin/qlx-setting.Ini"));
}

}  // namespace
