// Where the settings file and the work folder go, for a program beside its files and for an
// installed one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fleet/program_paths.h"
#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;

TEST(LocateProgramFiles, UserFoldersOnlyForAnInstalledProgramWithAHome) {
    const testsupport::ScratchDir scratch;
    const fs::path& dir = scratch.path();
    fs::create_directories(dir / "bin");
    std::string program = (dir / "bin/qlx-setting").string();
    std::string beside = (dir / "bin/").string();
    struct Case {
        bool installed;
        fleet::UserEnvironment env;
        std::string settings, work;  // empty: beside the program
    };
    const Case cases[] = {
        {false, {"/home/u", "/x/cfg", "/x/dat"}, "", ""},
        {true,
         {"/home/u", "/x/cfg/", "/x/dat"},
         "/x/cfg/qlx-setting/qlx-setting.Ini",
         "/x/dat/qlx-setting/data"},
        {true,
         {"/home/u", "", ""},
         "/home/u/.config/qlx-setting/qlx-setting.Ini",
         "/home/u/.local/share/qlx-setting/data"},
        // Relative XDG folders are not to be used.
        {true,
         {"/home/u", "cfg", "dat"},
         "/home/u/.config/qlx-setting/qlx-setting.Ini",
         "/home/u/.local/share/qlx-setting/data"},
        {true, {"", "", ""}, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings + (c.installed ? " installed" : " beside"));
        fs::remove_all(dir / "share");
        if (c.installed) {
            fs::create_directories(dir / "share/qlx-setting");
            std::ofstream(dir / "share/qlx-setting/installed");
        }
        auto files = fleet::LocateProgramFiles(program, c.env);
        EXPECT_EQ(files.perUser, !c.settings.empty());
        EXPECT_EQ(files.settingsFile, c.settings.empty() ? beside + "qlx-setting.Ini" : c.settings);
        EXPECT_EQ(files.workFolder, c.work.empty() ? beside + "data" : c.work);
    }
}

}  // namespace
