// Which record a result belongs to, whoever wrote the list meanwhile, and the one lock every
// writer of a list takes, whatever path it was reached by.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "devlist/fields.h"
#include "file_bytes.h"
#include "fleet/list_writer.h"
#include "fleet/record_identity.h"
#include "fleet/result_rule.h"
#include "scratch_dir.h"
#include "session/session_state.h"
#include "text/cp932.h"

namespace {

using devlist::LineStore;
namespace fs = std::filesystem;

// A record of the usual shape; the fields a test varies are named.
struct Rec {
    std::string no = "001";
    std::string flags = "F0000000";
    std::string name = "room";
    std::string ip = "127.0.0.1";
    std::string http = "80";
    std::string mac = "00:ee:80:00:00:00";
    std::string ver;
    std::string user = "admin";
    std::string pass = "plume";
    std::string file = "defalt.txt";
    std::string last;
    std::string msg;
    std::string line() const {
        return no + "," + flags + "," + name + "," + ip + "," + http + ",23," + mac + "," + ver +
               ",dev," + user + "," + pass + "," + file + "," + last + "," + msg;
    }
};

Rec r(const std::string& no, const std::string& name) {
    Rec x;
    x.no = no;
    x.name = name;
    return x;
}

// What another writer's result leaves in a record.
Rec served(Rec x, const std::string& mac = "00:11:22:33:44:55") {
    x.mac = mac;
    x.ver = "V2";
    x.last = "2026/12/08 09:00:00";
    x.msg = "#000 OK";
    return x;
}

Rec renumbered(Rec x, const std::string& no) {
    x.no = no;
    return x;
}

// The record a result was started on, looked up in the list as another writer left it.
TEST(RecordIdentity, FindsItsRecordAndNeverAnother) {
    const Rec a = r("001", "a"), b = r("002", "b"), c = r("003", "c"), d = r("004", "d");
    // Twins: the same device entered twice, differing only in MAC and check mark.
    Rec t1 = r("001", "twin"), t2 = r("002", "twin");
    t2.mac = "00:ee:80:00:00:02";
    t2.flags = "F0000001";
    auto with = [](Rec x, const std::function<void(Rec&)>& f) {
        f(x);
        return x;
    };
    // Another record, numbered 003, that differs from x only as f makes it.
    auto other = [&](const Rec& x, const std::function<void(Rec&)>& f) {
        return renumbered(with(x, f), "003");
    };
    struct Case {
        const char* name;
        std::vector<Rec> start;
        int served;  // line of start
        std::vector<Rec> now;
        int found;
    };
    const Case cases[] = {
        {"unchanged", {a, b, c, d}, 2, {a, b, c, d}, 2},
        {"a line before it deleted", {a, b, c, d}, 2, {b, c, d}, 1},
        {"a line put before it", {a, b, c, d}, 2, {a, b, r("000", "x"), c, d}, 3},
        {"moved and renumbered",
         {a, b, c, d},
         2,
         {renumbered(c, "001"), renumbered(b, "002"), renumbered(a, "003"), d},
         0},
        {"its check mark changed",
         {a, b, c, d},
         2,
         {a, b, with(c, [](Rec& x) { x.flags = "F0001001"; }), d},
         2},
        {"another writer recorded it with the device's MAC",
         {a, b, c, d},
         2,
         {a, b, served(c), d},
         2},
        {"deleted", {a, b, c, d}, 2, {a, b, d}, -1},
        {"the list emptied", {a, b, c, d}, 2, {}, -1},
        {"its password changed by the operator",
         {a, b, c, d},
         2,
         {a, b, with(c, [](Rec& x) { x.pass = "0123"; }), d},
         -1},
        {"its line now holds another record", {a, b, c, d}, 2, {a, b, d, r("004", "c2")}, -1},
        // Deleted, and a neighbour that differs only in what the operator owns is left.
        {"a neighbour with another send file",
         {a, c, other(c, [](Rec& x) { x.file = "other.txt"; })},
         1,
         {a, other(c, [](Rec& x) { x.file = "other.txt"; })},
         -1},
        {"a neighbour with another user",
         {a, c, other(c, [](Rec& x) { x.user = "root"; })},
         1,
         {a, other(c, [](Rec& x) { x.user = "root"; })},
         -1},
        {"a neighbour with another HTTP port",
         {a, c, other(c, [](Rec& x) { x.http = "8080"; })},
         1,
         {a, other(c, [](Rec& x) { x.http = "8080"; })},
         -1},
        {"two lines alike elsewhere", {a, b, c, d}, 2, {c, a, b, d, c}, -1},
        {"a twin unchanged", {t1, t2}, 1, {t1, t2}, 1},
        {"a twin moved above the other",
         {t1, t2},
         0,
         {renumbered(t2, "001"), renumbered(t1, "002")},
         1},
        {"its twin recorded by another writer", {t1, t2}, 0, {t1, served(t2)}, 0},
        {"recorded by another writer beside its untouched twin", {t1, t2}, 1, {t1, served(t2)}, 1},
        {"its twin deleted", {t1, t2}, 0, {t1}, 0},
        {"deleted, its twin left", {t1, t2}, 0, {renumbered(t2, "001")}, -1},
        {"deleted, its twin left and recorded", {t1, t2}, 1, {served(t1)}, -1},
        {"both recorded by other writers",
         {t1, t2},
         0,
         {served(t1), served(t2, "00:11:22:33:44:66")},
         -1},
    };
    for (const auto& c : cases) {
        auto start = std::make_shared<LineStore>();
        for (const Rec& x : c.start) start->lines().push_back(x.line());
        LineStore now;
        for (const Rec& x : c.now) now.lines().push_back(x.line());
        const fleet::RecordIdentity id = fleet::IdentityOf(start, c.served);
        EXPECT_EQ(fleet::FindRecord(now, id), c.found) << c.name;
        // The same pairing between whole lists, as the window's save uses it.
        EXPECT_EQ(fleet::PairRecords(*start, now)[static_cast<size_t>(c.served)], c.found)
            << c.name;
        // The same in a batch that looks up every record of the list, as a list write does.
        fleet::RecordFinder batch(now);
        for (int line = 0; line < static_cast<int>(start->size()); ++line) {
            const int found = batch.find(fleet::IdentityOf(start, line));
            if (line == c.served) {
                EXPECT_EQ(found, c.found) << c.name << " (batch)";
            }
        }
    }
    // A short record and the same record after a result filled its fields are one record.
    EXPECT_EQ(fleet::IdentityKey("001,F0000000,a"),
              fleet::IdentityKey("005,F0000001,a,,,,x,v,n,,,,2026/12/08 09:00:00,#000 OK"));
    EXPECT_NE(fleet::IdentityKey("001,F0000000,a,,,,,,,,,,,,SAVE"),
              fleet::IdentityKey("001,F0000000,a"));
    EXPECT_EQ(fleet::IdentityKey("header without a mark"), "");
    EXPECT_EQ(fleet::FindRecord(LineStore({a.line()}),
                                fleet::IdentityOf(std::make_shared<LineStore>(), 0)),
              -1)
        << "no such line";
}

// Two runners started on one list of hand-entered records (the default MAC address): the first
// records each device with the MAC it reports, and the second's results for the same records
// still find them.
TEST(RecordIdentity, OverlappingRunnersKeepEveryResult) {
    const testsupport::ScratchDir dir;
    const std::string path = (dir / "list.csv").string();
    auto start = std::make_shared<LineStore>();
    for (int i = 0; i < 6; ++i) {
        Rec x = r("00" + std::to_string(i + 1), "room" + std::to_string(i));
        x.ip = "127.0.0." + std::to_string(i + 1);
        start->lines().push_back(x.line());
    }
    testsupport::writeBytes(path, start->toBytes());
    fleet::ListWriter first(path), second(path);
    for (int i = 0; i < 6; ++i) {
        fleet::Outcome o;
        o.result = session::kResultOk;
        o.macAddress = "00:11:22:33:44:0" + std::to_string(i);
        o.lastSend = "2026/12/08 09:00:00";
        EXPECT_EQ(first.record(fleet::IdentityOf(start, i), o).status,
                  fleet::ListWriter::Status::Written);
        // The second runner's result for the record before, interleaved.
        if (i == 0) continue;
        o.result = session::kResultTimeOut;
        o.macAddress = "00:11:22:33:44:0" + std::to_string(i - 1);
        o.lastSend = "2026/12/08 09:00:01";
        EXPECT_EQ(second.record(fleet::IdentityOf(start, i - 1), o).status,
                  fleet::ListWriter::Status::Written)
            << i - 1;
    }
    const LineStore after = LineStore::fromFileBytes(testsupport::readBytes(path));
    ASSERT_EQ(after.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(devlist::FieldGet(devlist::kMacAddress, after[i]),
                  "00:11:22:33:44:0" + std::to_string(i));
        EXPECT_EQ(devlist::FieldGet(devlist::kMessage, after[i]),
                  i < 5 ? "#404 NG Time Out" : text::sj("#000 OK 正常送信"));
    }
}

class ListLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_dir / "real");
        LineStore list;
        for (int i = 1; i <= 4; ++i)
            list.lines().push_back(r("00" + std::to_string(i), "d" + std::to_string(i)).line());
        testsupport::writeBytes(m_list.string(), list.toBytes());
    }
    testsupport::ScratchDir m_dir;
    fs::path m_list = m_dir / "real" / "list.csv";
};

// Two writers that reach one list by different paths take one lock: while one holds it, the
// other waits, and each result lands in the one file.
TEST_F(ListLockTest, OneListOneLockWhateverItsPath) {
    fs::create_directory_symlink(m_dir / "real", m_dir / "linked");
    fs::create_symlink(m_list, m_dir / "alias.csv");
    const fs::path cwd = fs::current_path();
    fs::current_path(m_dir / "real");
    struct Case {
        const char* name;
        std::string path;
    };
    const Case cases[] = {
        {"the same path", m_list.string()},
        {"relative", "list.csv"},
        {"relative with dots", "./../real/list.csv"},
        {"through a linked folder", (m_dir / "linked" / "list.csv").string()},
        {"through a link to the file", (m_dir / "alias.csv").string()},
    };
    const fs::path lockFile = fs::path(m_list.string() + ".lock");
    for (const auto& c : cases) {
        EXPECT_EQ(fleet::LockPathOf(c.path), lockFile) << c.name;
        fleet::ListLock held(m_list.string());
        ASSERT_TRUE(held.held());
        // flock conflicts between two open files of one process as between two processes.
        const int fd = ::open(fleet::LockPathOf(c.path).c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(fd, 0) << c.name;
        EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0) << c.name;
        ::close(fd);
    }
    fs::current_path(cwd);
    // The lock file is the user's alone.
    struct stat st {};
    ASSERT_EQ(::stat(lockFile.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // Results through every path end in the one file.
    auto start = std::make_shared<const LineStore>(
        LineStore::fromFileBytes(testsupport::readBytes(m_list.string())));
    const std::string paths[] = {m_list.string(), (m_dir / "alias.csv").string(),
                                 (m_dir / "linked" / "list.csv").string(), m_list.string()};
    for (int i = 0; i < 4; ++i) {
        fleet::Outcome o;
        o.result = session::kResultTimeOut;
        o.lastSend = "2026/12/08 09:00:0" + std::to_string(i);
        auto w = fleet::ListWriter(paths[i]).record(fleet::IdentityOf(start, i), o);
        EXPECT_EQ(w.status, fleet::ListWriter::Status::Written) << i;
    }
    EXPECT_TRUE(fs::is_symlink(m_dir / "alias.csv"));
    const LineStore after = LineStore::fromFileBytes(testsupport::readBytes(m_list.string()));
    ASSERT_EQ(after.size(), 4u);
    for (const auto& line : after.lines())
        EXPECT_EQ(devlist::FieldGet(devlist::kMessage, line), "#404 NG Time Out") << line;
}

// A link planted at the lock's name is never followed: no lock, no write, the target untouched.
TEST_F(ListLockTest, NeverFollowsALinkAtTheLocksName) {
    const fs::path victim = m_dir / "victim.txt";
    testsupport::writeBytes(victim.string(), "keep");
    fs::create_symlink(victim, m_list.string() + ".lock");
    const std::string before = testsupport::readBytes(m_list.string());
    fleet::ListLock lock(m_list.string());
    EXPECT_FALSE(lock.held());
    auto start = std::make_shared<const LineStore>(LineStore::fromFileBytes(before));
    auto w = fleet::ListWriter(m_list.string()).record(fleet::IdentityOf(start, 0), {});
    EXPECT_EQ(w.status, fleet::ListWriter::Status::Failed);
    EXPECT_NE(w.error.find(text::sj("をロックできません")), std::string::npos);
    EXPECT_EQ(testsupport::readBytes(m_list.string()), before);
    EXPECT_EQ(testsupport::readBytes(victim.string()), "keep");
}

}  // namespace
