// The list write off the loop: results queued while the writer thread waits for the lock go
// into the file with one rewrite, each keeps its own status, and the completions come back on
// the loop in the order the results were given.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "devlist/fields.h"
#include "fake_event_loop.h"
#include "file_bytes.h"
#include "fleet/list_write_queue.h"
#include "session/session_state.h"

namespace {

namespace fs = std::filesystem;

std::string record(int no) {
    return "00" + std::to_string(no) + ",F0000001,d" + std::to_string(no) + ",127.0.0." +
           std::to_string(no) + ",80,23,,,,a,p,x.txt,,";
}

TEST(ListWriteQueue, ResultsThatWaitedForTheLockGoInOneRewriteInOrder) {
    const fs::path dir = fs::path(::testing::TempDir()) / ("lwq_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string path = (dir / "list.csv").string();
    devlist::LineStore lines(std::vector<std::string>{record(1), record(2), record(3)});
    testsupport::writeBytes(path, lines.toBytes());

    testsupport::FakeEventLoop loop;
    fleet::ListWriter writer(path);
    std::vector<std::string> done;
    {
        auto lock = std::make_unique<fleet::ListLock>(path);
        ASSERT_TRUE(lock->held());
        fleet::ListWriteQueue queue(loop, writer);
        struct Case {
            int line;
            std::string bytes;  // the record's identity
            int result;
        } cases[] = {{0, lines[0], session::kResultOk},
                     {1, "009,F0000001,gone,127.0.0.9,80,23,,,,a,p,x.txt,,", session::kResultOk},
                     {2, lines[2], session::kResultTimeOut}};
        for (const auto& c : cases) {
            fleet::Outcome o;
            o.result = c.result;
            o.lastSend = "2026/12/08 07:00:00";
            queue.record({c.line, c.bytes, nullptr}, o,
                         [&, line = c.line](const fleet::ListWriter::Result& r) {
                             done.push_back(std::to_string(line) + ":" +
                                            std::to_string(static_cast<int>(r.status)));
                         });
        }
        // Nothing can be written while the lock is held, and the loop is not held up meanwhile.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        loop.runPending();
        EXPECT_TRUE(done.empty());
        EXPECT_EQ(queue.pending(), 3u);
        EXPECT_EQ(testsupport::readBytes(path), lines.toBytes());
        lock.reset();
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (queue.pending() > 0 && std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            loop.runPending();
        }
        // The first result may have reached the lock alone; the two behind it went together.
        EXPECT_LE(queue.batches(), 2);
    }
    const int written = static_cast<int>(fleet::ListWriter::Status::Written);
    const int gone = static_cast<int>(fleet::ListWriter::Status::Gone);
    EXPECT_EQ(done,
              (std::vector<std::string>{"0:" + std::to_string(written), "1:" + std::to_string(gone),
                                        "2:" + std::to_string(written)}));
    auto after = devlist::LineStore::fromFileBytes(testsupport::readBytes(path));
    EXPECT_EQ(devlist::FieldGet(devlist::kMessage, after[2]), "#404 NG Time Out");
    EXPECT_EQ(devlist::FieldGet(devlist::kLastSend, after[0]), "2026/12/08 07:00:00");
    fs::remove_all(dir);
}

}  // namespace
