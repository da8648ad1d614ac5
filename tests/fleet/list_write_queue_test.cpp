// The list write off the loop: results queued while the writer thread waits for the lock go
// into the file with one rewrite, each keeps its own status, and the completions come back on
// the loop in the order the results were given.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "devlist/fields.h"
#include "fake_event_loop.h"
#include "file_bytes.h"
#include "fleet/list_write_queue.h"
#include "scratch_dir.h"
#include "session/session_state.h"

namespace {

namespace fs = std::filesystem;

std::string record(int no) {
    return "00" + std::to_string(no) + ",F0000001,d" + std::to_string(no) + ",127.0.0." +
           std::to_string(no) + ",80,23,,,,a,p,x.txt,,";
}

TEST(ListWriteQueue, ResultsThatWaitedForTheLockGoInOneRewriteInOrder) {
    const testsupport::ScratchDir dir;
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
        loop.waitFor([&] { return queue.pending() == 0; });
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
}

// The writer re-reads the file only when someone else wrote it since it last read or wrote it,
// however that write looks: a replacement, a write in place of the same size whose modification
// time was set back (within the same second), or nothing at all.
TEST(ListWriter, ReadsTheFileAgainOnlyWhenAnotherWriterChangedIt) {
    const testsupport::ScratchDir dir;
    const std::string path = (dir / "list.csv").string();
    const devlist::LineStore lines(std::vector<std::string>{record(1), record(2), record(3)});
    auto nameOn = [&](int line, char c) {
        devlist::LineStore now = devlist::LineStore::fromFileBytes(testsupport::readBytes(path));
        std::string& l = now[static_cast<size_t>(line)];
        l[l.find(",d") + 1] = c;  // same size: "d1" becomes "x1"
        return now.toBytes();
    };
    struct Case {
        const char* what;
        std::function<void()> meanwhile;
        bool reread;
    } cases[] = {
        {"nothing", [] {}, false},
        {"replaced", [&] { testsupport::writeBytes(path, nameOn(0, 'r')); }, true},
        {"written in place, its time set back",
         [&] {
             struct stat st {};
             ASSERT_EQ(::stat(path.c_str(), &st), 0);
             const std::string bytes = nameOn(1, 'p');
             ASSERT_EQ(static_cast<off_t>(bytes.size()), st.st_size);
             // The status change time moves only with the clock's tick.
             std::this_thread::sleep_for(std::chrono::milliseconds(20));
             const int fd = ::open(path.c_str(), O_WRONLY);
             ASSERT_GE(fd, 0);
             ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), 0),
                       static_cast<ssize_t>(bytes.size()));
             const timespec times[2] = {st.st_atim, st.st_mtim};
             ASSERT_EQ(::futimens(fd, times), 0);
             ::close(fd);
         },
         true},
    };
    testsupport::writeBytes(path, lines.toBytes());
    fleet::ListWriter writer(path);
    fleet::Outcome o;
    o.result = session::kResultOk;
    o.lastSend = "2026/12/08 07:00:00";
    ASSERT_EQ(writer.record({2, lines[2], nullptr}, o).status, fleet::ListWriter::Status::Written);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int reads = writer.reads();
        c.meanwhile();
        const std::string other = testsupport::readBytes(path);
        o.lastSend = std::string("2026/12/08 07:00:0") + std::to_string(reads);
        ASSERT_EQ(writer.record({2, lines[2], nullptr}, o).status,
                  fleet::ListWriter::Status::Written);
        EXPECT_EQ(writer.reads() - reads, c.reread ? 1 : 0);
        // The other writer's lines stay; the result is in.
        const auto before = devlist::LineStore::fromFileBytes(other);
        const auto after = devlist::LineStore::fromFileBytes(testsupport::readBytes(path));
        EXPECT_EQ(after[0], before[0]);
        EXPECT_EQ(after[1], before[1]);
        EXPECT_EQ(devlist::FieldGet(devlist::kLastSend, after[2]), o.lastSend);
    }
}

// Results that come faster than the gap are gathered into few rewrites, none lost or out of
// order, and the queue going away still writes every result given.
TEST(ListWriteQueue, GathersResultsBetweenRewritesAndLosesNone) {
    const testsupport::ScratchDir dir;
    const std::string path = (dir / "list.csv").string();
    constexpr int kRecords = 60;
    devlist::LineStore lines;
    for (int i = 1; i <= kRecords; ++i) lines.lines().push_back(record(i));
    struct Case {
        const char* what;
        bool dropAtOnce;  // the queue goes before any completion came back
    } cases[] = {{"completions on the loop", false}, {"the queue dropped", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::writeBytes(path, lines.toBytes());
        testsupport::FakeEventLoop loop;
        fleet::ListWriter writer(path);
        std::vector<int> done;
        int batches = 0;
        {
            fleet::ListWriteQueue queue(loop, writer);
            for (int i = 0; i < kRecords; ++i) {
                fleet::Outcome o;
                o.result = session::kResultOk;
                o.lastSend = "2026/12/08 07:00:" + devlist::ZeroPad(i % 60, 2);
                queue.record({i, lines[static_cast<size_t>(i)], nullptr}, o,
                             [&done, i](const fleet::ListWriter::Result& r) {
                                 EXPECT_EQ(r.status, fleet::ListWriter::Status::Written);
                                 done.push_back(i);
                             });
                if (i % 10 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            if (!c.dropAtOnce) loop.waitFor([&] { return queue.pending() == 0; });
            batches = queue.batches();
        }
        if (!c.dropAtOnce) {
            ASSERT_EQ(done.size(), static_cast<size_t>(kRecords));
            for (int i = 0; i < kRecords; ++i) EXPECT_EQ(done[static_cast<size_t>(i)], i);
            // Results given over ~30 ms: one written at once, the rest gathered.
            EXPECT_LE(batches, 3);
        }
        const auto after = devlist::LineStore::fromFileBytes(testsupport::readBytes(path));
        for (int i = 0; i < kRecords; ++i)
            EXPECT_EQ(devlist::FieldGet(devlist::kLastSend, after[static_cast<size_t>(i)]),
                      "2026/12/08 07:00:" + devlist::ZeroPad(i % 60, 2));
    }
}

// At the end of a run the last results are written at once, not after the gap.
TEST(ListWriteQueue, HurriedResultsSkipTheGap) {
    const testsupport::ScratchDir dir;
    const std::string path = (dir / "list.csv").string();
    devlist::LineStore lines;
    for (int i = 1; i <= 2; ++i) lines.lines().push_back(record(i));
    testsupport::writeBytes(path, lines.toBytes());
    testsupport::FakeEventLoop loop;
    fleet::ListWriter writer(path);
    fleet::ListWriteQueue queue(loop, writer, std::chrono::hours(1));
    fleet::Outcome o;
    o.result = session::kResultOk;
    for (int i = 0; i < 2; ++i) {
        queue.record({i, lines[static_cast<size_t>(i)], nullptr}, o, nullptr);
        if (i == 1) queue.hurry();
        ASSERT_TRUE(loop.waitFor([&] { return queue.pending() == 0; })) << "result " << i;
    }
    EXPECT_EQ(queue.batches(), 2);
}

}  // namespace
