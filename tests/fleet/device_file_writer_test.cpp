// The run's writer thread for device files, in real time: results come back only through the
// loop, in the order the saves were asked, and finish leaves the folder with its files alone.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "fake_event_loop.h"
#include "file_bytes.h"
#include "fleet/device_file_writer.h"
#include "scratch_dir.h"

namespace fleettest {
namespace {

namespace fs = std::filesystem;

TEST(DeviceFileWriter, SavesOffTheLoopAndAnswersThroughItInOrder) {
    const testsupport::ScratchDir dir;
    testsupport::writeBytes((dir / "b.txt").string(), "old");  // replaced, through the spare
    testsupport::FakeEventLoop loop;
    std::vector<std::pair<std::string, int>> done;
    {
        fleet::DeviceFileWriter writer(loop);
        const std::vector<std::pair<std::string, std::string>> saves = {
            {"a.txt", std::string("\x82\xa0\r\n", 4)},
            {"b.txt", "new"},
            {"missing/c.txt", "x"},
            {"b.txt", "newer"}};
        for (const auto& [name, bytes] : saves)
            writer.save(dir / name, bytes,
                        [&done, name](int error) { done.emplace_back(name, error); });
        EXPECT_TRUE(done.empty());  // never inside save
        loop.waitFor([&] { return done.size() == saves.size(); });
        EXPECT_TRUE(writer.finish(dir.path()));
    }
    const std::vector<std::pair<std::string, int>> expected = {
        {"a.txt", 0}, {"b.txt", 0}, {"missing/c.txt", ENOENT}, {"b.txt", 0}};
    EXPECT_EQ(done, expected);
    EXPECT_EQ(testsupport::readBytes((dir / "a.txt").string()), std::string("\x82\xa0\r\n", 4));
    EXPECT_EQ(testsupport::readBytes((dir / "b.txt").string()), "newer");
    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 2u);  // no spare or temporary file left
}

}  // namespace
}  // namespace fleettest
