// The one locked rewrite every writer of the list goes through: whatever its merge, no write
// without the lock it requires, none over a file it could not read, and the bytes the merge
// drops are in their copy before the file is replaced.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>

#include "file_bytes.h"
#include "fleet/list_rewrite.h"
#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using fleet::ListRewrite;
using fleet::LockRule;

TEST(ListRewrite, KeepsEveryGuardWhateverTheMerge) {
    enum class At { File, Nothing, Folder };
    struct Case {
        const char* what;
        At at;
        bool fifoLock;  // something but a plain file at the lock's name
        LockRule rule;
        bool known;  // the caller holds the file as it is
        bool write;  // the merge has bytes to write
        const char* keepAside;
        ListRewrite::Status status;
        const char* fileAfter;  // nullptr: the file as it was
        bool mergeRan;
    } cases[] = {
        {"a plain rewrite", At::File, false, LockRule::Required, false, true, "",
         ListRewrite::Status::Written, "new", true},
        {"nothing to write", At::File, false, LockRule::Required, false, false, "",
         ListRewrite::Status::NotWritten, nullptr, true},
        {"no lock, none written", At::File, true, LockRule::Required, false, true, "",
         ListRewrite::Status::NoLock, nullptr, false},
        {"no lock, written all the same", At::File, true, LockRule::BestEffort, false, true, "",
         ListRewrite::Status::Written, "new", true},
        {"unreadable, never written", At::Folder, false, LockRule::BestEffort, false, true, "",
         ListRewrite::Status::Unreadable, nullptr, false},
        {"a new list is the user's alone", At::Nothing, false, LockRule::Required, false, true, "",
         ListRewrite::Status::Written, "new", true},
        {"dropped bytes kept first", At::File, false, LockRule::Required, false, true, "dropped",
         ListRewrite::Status::Written, "new", true},
        {"a file still as known is not read", At::File, false, LockRule::Required, true, true, "",
         ListRewrite::Status::Written, "new", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const testsupport::ScratchDir dir;
        const fs::path list = dir / "list.csv";
        if (c.at == At::File) testsupport::writeBytes(list, "old");
        if (c.at == At::Folder) fs::create_directory(list);
        if (c.fifoLock) {
            ASSERT_EQ(::mkfifo((dir / "list.csv.lock").c_str(), 0600), 0);
        }
        std::optional<platform::FileStamp> known;
        if (c.known) known = platform::fileStamp(list.string());
        bool ran = false;
        const ListRewrite w = fleet::RewriteList(
            list.string(), c.rule,
            [&](const fleet::ListNow& now) {
                ran = true;
                EXPECT_EQ(now.unchanged, c.known);
                EXPECT_EQ(now.bytes.value_or("-"), c.known || c.at == At::Nothing ? "-" : "old");
                fleet::ListChange change;
                if (c.write) change.bytes = "new";
                if (*c.keepAside) change.keepAside.push_back(c.keepAside);
                return change;
            },
            known);
        EXPECT_EQ(w.status, c.status);
        EXPECT_EQ(ran, c.mergeRan);
        if (c.at == At::Folder) continue;
        if (c.fileAfter == nullptr) {
            EXPECT_EQ(testsupport::readBytes(list), "old");
            continue;
        }
        EXPECT_EQ(testsupport::readBytes(list), c.fileAfter);
        if (c.at == At::Nothing) {
            EXPECT_EQ(fs::status(list).permissions() & fs::perms::all,
                      fs::perms::owner_read | fs::perms::owner_write);
        }
        EXPECT_EQ(w.after, platform::fileStamp(list.string()));
        EXPECT_EQ(fs::exists(dir / "list.csv.bak"), *c.keepAside != '\0');
        if (*c.keepAside) {
            EXPECT_EQ(testsupport::readBytes(dir / "list.csv.bak"), c.keepAside);
        }
    }
}

}  // namespace
