// The settings table: each key once, the window's write order, and the defaults both front ends
// start from.
#include "fleet/settings_table.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>

#include "fleet/run_settings.h"

namespace {

using fleet::Setting;

TEST(SettingsTable, EachKeyOnceWrittenInTheFilesOrderAndHandKeysNeverWritten) {
    std::set<std::string_view> keys;
    std::string written;
    for (const auto& k : fleet::kSettingKeys) {
        EXPECT_TRUE(keys.insert(k.key).second) << k.key;
        EXPECT_EQ(&fleet::KeyOf(k.setting), &k) << k.key;
        if (k.written) written += std::string(k.key) + " ";
    }
    EXPECT_EQ(written,
              "data1 folder1 wait1 listcsv file2 sort1 sort2 fselect chk2 chk3 chk4 chk6 chk7 ");

    // A key put in by hand survives: the program refuses to write it, as it refuses to read a
    // key as another type.
    fleet::Profile p = fleet::Profile::fromBytes("[setting]\r\ndebug=QPD1987Tool\r\n");
    EXPECT_THROW(fleet::WriteText(p, Setting::Debug, ""), std::logic_error);
    EXPECT_THROW(fleet::WriteText(p, Setting::OwnAddress, ""), std::logic_error);
    EXPECT_THROW(fleet::ReadBool(p, Setting::EndWait), std::logic_error);
    EXPECT_THROW(fleet::WriteInteger(p, Setting::SetTime, 1), std::logic_error);
    EXPECT_EQ(fleet::ReadText(p, Setting::Debug), "QPD1987Tool");
}

TEST(SettingsTable, ARunWithoutASettingsFileStartsAsTheWindowDoes) {
    const fleet::RunSettings fresh;
    const fleet::RunSettings read = fleet::ReadRunSettings("");
    EXPECT_EQ(fresh.endWait, read.endWait);
    EXPECT_EQ(fresh.listFile, read.listFile);
    EXPECT_EQ(fresh.commonSendFile, read.commonSendFile);
    EXPECT_EQ(fresh.sendMethod, read.sendMethod);
    EXPECT_EQ(fresh.setTime, read.setTime);
    EXPECT_EQ(fresh.registerName, read.registerName);
    EXPECT_EQ(fresh.registerIp, read.registerIp);
    EXPECT_EQ(fresh.write, read.write);
    EXPECT_EQ(fresh.cpuReset, read.cpuReset);
    EXPECT_EQ(fresh.ownAddress, read.ownAddress);
}

}  // namespace
