// The settings history's store: what goes into a commit and when, two runs committing at once,
// a process that dies between writing its objects and moving the branch, and what is read back.
#include "history/history_store.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "history/device_history.h"
#include "history/run_recorder.h"
#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using history::Store;

std::string dump(const std::string& mask, const std::string& stamp = "24/05/06 07:08:09") {
    return "//--- SEND DATA dev1IP:127.0.0.2 MAC:00:EE:80:00:00:01 " + stamp +
           "\r\r\n&save\r\n.sysName=\"SIM-1\"\r\n.ipAdEntNetMask=" + mask + "\r\n";
}

Store::Message labelled() {
    return [](bool before, const std::vector<std::string>& labels) {
        std::string text = before ? "before:" : "run:";
        for (const auto& l : labels) text += " " + l;
        return text;
    };
}

class HistoryStore : public ::testing::Test {
protected:
    std::unique_ptr<Store> open() {
        std::string error;
        auto store = Store::open(m_repo, true, error);
        EXPECT_TRUE(store) << error;
        return store;
    }
    int fsck() {
        return std::system(
            ("git -C " + m_repo.string() + " fsck --strict >/dev/null 2>&1").c_str());
    }

    testsupport::ScratchDir m_dir;
    fs::path m_repo = m_dir / "history.git";
};

TEST(StoredDump, DropsOnlyTheTimeOfTheFirstLine) {
    struct Case {
        std::string in, out;
    };
    const std::vector<Case> cases = {
        {dump("255.0.0.0"),
         dump("255.0.0.0", "").replace(dump("255.0.0.0", "").find(" \r"), 1, "")},
        {"//--- LOAD DATA aIP:1 MAC: 26/12/08 15:30:01\r\r\n.x=1\r\n",
         "//--- LOAD DATA aIP:1 MAC:\r\r\n.x=1\r\n"},
        // No time where it stands: kept as it is.
        {"//--- LOAD DATA aIP:1 MAC: 26/12/08 15:30\r\n.x=1 26/12/08 15:30:01\r\n",
         "//--- LOAD DATA aIP:1 MAC: 26/12/08 15:30\r\n.x=1 26/12/08 15:30:01\r\n"},
        {"a 26/12/08 15:30:01", "a"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(history::StoredDump(c.in), c.out) << c.in;
    EXPECT_EQ(history::StoredDump(dump("1", "24/05/06 07:08:09")),
              history::StoredDump(dump("1", "26/12/31 23:59:59")));
}

TEST_F(HistoryStore, CommitsOnlyWhatChangedAndReadsItBack) {
    auto store = open();
    const std::string a1 = history::StoredDump(dump("255.0.0.0"));
    const std::string a2 = history::StoredDump(dump("255.255.0.0"));
    const std::string b1 = history::StoredDump(dump("255.255.255.0"));
    auto r =
        store->commit({}, {{"A.txt", a1, "No.001"}, {"B.txt", b1, "No.002"}}, labelled(), "op");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.commits, 1);
    // The same dumps again: no commit.
    r = store->commit({}, {{"A.txt", a1, "No.001"}, {"B.txt", b1, "No.002"}}, labelled(), "op");
    EXPECT_EQ(r.commits, 0);
    // A send: its before-dump is what the history knew, so only the run's commit names A.
    r = store->commit({{"A.txt", a1, "No.001"}}, {{"A.txt", a2, "No.001"}, {"B.txt", b1, "No.002"}},
                      labelled(), "op");
    EXPECT_EQ(r.commits, 1);
    EXPECT_EQ(r.labels, std::vector<std::string>{"No.001"});
    // A device changed outside the program: its before-dump goes in first, in a commit of its
    // own; a before-dump that differs only in its first line does not.
    const std::string outside = history::StoredDump(dump("255.255.255.255"));
    std::string renamed = b1;
    renamed.replace(renamed.find("dev1"), 4, "hall");
    r = store->commit({{"A.txt", outside, "No.001"}, {"B.txt", renamed, "No.002"}},
                      {{"A.txt", a2, "No.001"}}, labelled(), "op");
    EXPECT_EQ(r.commits, 2);
    EXPECT_EQ(r.labels, (std::vector<std::string>{"No.001", "No.001"}));

    const auto log = store->log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].message, "run: No.001");
    EXPECT_EQ(log[1].message, "before: No.001");
    EXPECT_EQ(log[3].message, "run: No.001 No.002");
    EXPECT_EQ(log[0].author, "op");
    EXPECT_EQ(store->latest("A.txt"), a2);
    EXPECT_EQ(store->latest("C.txt"), std::nullopt);
    // Commits of one second are told apart by their order: the last one made by then counts.
    EXPECT_EQ(store->at("A.txt", log[0].time), a2);
    EXPECT_EQ(store->at("A.txt", log[3].time - 1), std::nullopt);

    const auto revisions = store->revisions({"A.txt", "B.txt"}, 0);
    ASSERT_EQ(revisions[0].size(), 4u);  // first dump, send, outside change, send again
    ASSERT_EQ(revisions[1].size(), 1u);
    const auto entries = history::EntriesOf(revisions[0]);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].changes,
              std::vector<std::string>{"changed .ipAdEntNetMask: 255.255.255.255 -> 255.255.0.0"});
    EXPECT_TRUE(entries[3].first);
    EXPECT_TRUE(store->revisions({"A.txt"}, log[0].time + 1)[0].empty());
    EXPECT_EQ(fsck(), 0);
}

TEST_F(HistoryStore, TwoRunsCommittingAtOnceBothLand) {
    auto first = open();
    auto second = open();
    const std::string a = history::StoredDump(dump("1.0.0.0"));
    const std::string b = history::StoredDump(dump("2.0.0.0"));
    // The second run moves the branch while the first has written its objects: the first's move
    // fails, and it builds its commit again on the new head.
    int raced = 0;
    first->beforeBranchMove = [&] {
        if (raced++ == 0) {
            auto r = second->commit({}, {{"B.txt", b, "No.002"}}, labelled(), "op2");
            EXPECT_EQ(r.commits, 1) << r.error;
        }
    };
    auto r = first->commit({}, {{"A.txt", a, "No.001"}}, labelled(), "op1");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(raced, 2);
    const auto log = first->log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].author, "op1");
    EXPECT_EQ(log[1].author, "op2");
    EXPECT_EQ(first->latest("A.txt"), a);
    EXPECT_EQ(first->latest("B.txt"), b);
}

TEST_F(HistoryStore, AProcessKilledBeforeTheBranchMovesLeavesAWholeRepository) {
    const std::string a = history::StoredDump(dump("1.0.0.0"));
    open()->commit({}, {{"A.txt", a, "No.001"}}, labelled(), "op");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string error;
        auto store = Store::open(m_repo, true, error);
        store->beforeBranchMove = [] { _exit(0); };
        store->commit({}, {{"A.txt", history::StoredDump(dump("9.9.9.9")), "No.001"}}, labelled(),
                      "op");
        _exit(1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(fsck(), 0);
    auto store = open();
    EXPECT_EQ(store->latest("A.txt"), a);
    EXPECT_EQ(store->log().size(), 1u);

    // A branch lock a killed process left behind, old enough to be nobody's, does not stop
    // the next run.
    const fs::path lock = m_repo / "refs/heads/main.lock";
    std::ofstream(lock) << "0000000000000000000000000000000000000000\n";
    fs::last_write_time(lock, fs::file_time_type::clock::now() - std::chrono::minutes(5));
    auto r = store->commit({}, {{"A.txt", history::StoredDump(dump("2.0.0.0")), "No.001"}},
                           labelled(), "op");
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_EQ(store->log().size(), 2u);
    EXPECT_EQ(fsck(), 0);
}

TEST_F(HistoryStore, NoRepositoryIsMadeWhenOnlyReading) {
    std::string error;
    EXPECT_FALSE(Store::open(m_repo, false, error));
    EXPECT_FALSE(fs::exists(m_repo));
    fs::create_directories(m_repo);
    std::ofstream(m_repo / "HEAD") << "garbage";
    EXPECT_FALSE(Store::open(m_repo, true, error));
    EXPECT_FALSE(error.empty());
}

TEST_F(HistoryStore, ARunsRecorderCommitsOnceWhatItsDevicesChanged) {
    const std::string a1 = dump("1.0.0.0", "24/05/06 07:08:09");
    const std::string a2 = dump("2.0.0.0", "24/05/06 07:09:09");
    const history::RunInfo run{"send", "--all", 2, 2, 0};
    {
        history::RunRecorder first(m_repo, "op");
        first.add({"A.txt", "No.001 dev1", "", a1});
        first.add({"B.txt", "No.002 dev2", "", a1});
        first.commit({"check", "--all", 2, 2, 0});
        EXPECT_EQ(first.wait().commits, 1);
    }
    // A check that finds every device as it was neither commits nor writes, renames or freshens
    // an object file: the history of a site's scheduled checks costs no disk.
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    std::vector<fs::path> objects{m_repo / "objects"};
    for (const auto& e : fs::recursive_directory_iterator(objects[0])) objects.push_back(e.path());
    for (const auto& o : objects) fs::last_write_time(o, old);
    {
        history::RunRecorder again(m_repo, "op");
        again.add({"A.txt", "No.001 dev1", "", dump("1.0.0.0", "24/05/07 07:08:09")});
        again.add({"B.txt", "No.002 dev2", "", a1});
        again.commit({"check", "--all", 2, 2, 0});
        EXPECT_EQ(again.wait().commits, 0);
    }
    for (const auto& o : objects) EXPECT_EQ(fs::last_write_time(o), old) << o;
    history::RunRecorder send(m_repo, "op");
    // A's dump before is what the history knew; B was changed outside the program.
    send.add({"A.txt", "No.001 dev1", a1, a2});
    send.add({"B.txt", "No.002 dev2", dump("9.0.0.0"), a2});
    send.commit(run);
    const history::CommitResult r = send.wait();
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.commits, 2);
    const auto log = open()->log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].message,
              "send --all: 2 selected, 2 ok, 0 failed\n\nchanged:\nNo.001 dev1\nNo.002 dev2\n");
    EXPECT_EQ(log[1].message, history::CommitMessage(run, true, {"No.002 dev2"}));
    EXPECT_EQ(fsck(), 0);

    // A repository that cannot be made: the run's commit says so.
    history::RunRecorder nowhere(m_dir / "file" / "history.git", "op");
    std::ofstream(m_dir / "file") << "x";
    nowhere.add({"A.txt", "No.001 dev1", "", a1});
    nowhere.commit(run);
    EXPECT_FALSE(nowhere.wait().ok);
}

}  // namespace
