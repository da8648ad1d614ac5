// Runs that record many devices write their new dumps as packs: every reader must find what they
// hold, the packs must be on disk before the branch names them, and their number stays bounded.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "history/history_store.h"
#include "history/pack_merge.h"
#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using history::Store;

std::string dump(int device, int version) {
    return "//--- LOG 20 DATA dev" + std::to_string(device) + "\r\r\n&save\r\n.sysName=\"SIM-" +
           std::to_string(device) + "\"\r\n.benchSerial=" + std::to_string(version) + "\r\n";
}

std::string file(int device) {
    return "QLX" + std::to_string(100000 + device) + ".txt";
}

std::string label(bool, const std::vector<std::string>& labels) {
    return std::to_string(labels.size()) + " changed";
}

class HistoryPacks : public ::testing::Test {
protected:
    std::unique_ptr<Store> open(bool create = true) {
        std::string error;
        auto store = Store::open(m_repo, create, error);
        EXPECT_TRUE(store) << error;
        return store;
    }
    size_t count(const char* extension) const {
        size_t n = 0;
        for (const auto& e : fs::directory_iterator(m_repo / "objects" / "pack"))
            n += e.path().extension() == extension;
        return n;
    }
    size_t looseObjects() const {
        size_t n = 0;
        for (const auto& e : fs::directory_iterator(m_repo / "objects"))
            if (e.path().filename().native().size() == 2)
                n += std::distance(fs::directory_iterator(e), fs::directory_iterator());
        return n;
    }
    int fsck() const {
        return std::system(
            ("git -C " + m_repo.string() + " fsck --strict >/dev/null 2>&1").c_str());
    }

    testsupport::ScratchDir m_dir{"/dev/shm"};
    fs::path m_repo = m_dir / "history.git";
};

// A first run of 100 devices: one pack, on disk before the branch moves, and only the run's tree
// and commit loose; a later run in which a few changed adds no pack; a send whose devices all
// changed outside the program packs its before-dumps too. A store opened afresh, as the history
// and drift verbs open it, reads every version.
TEST_F(HistoryPacks, ARunOfManyNewDumpsIsOnePackEveryReaderFinds) {
    constexpr int kDevices = 100;
    auto store = open();
    std::vector<history::FileVersion> after;
    for (int d = 0; d < kDevices; ++d) {
        history::BlobId id;
        ASSERT_TRUE(store->writeBlob(file(d), dump(d, 1), id));
        after.push_back({file(d), {}, "No." + std::to_string(d), id});
    }
    EXPECT_EQ(looseObjects(), 0u) << "nothing is written before the commit";
    bool packedFirst = false;
    store->beforeBranchMove = [&] { packedFirst = count(".idx") == 1 && count(".pack") == 1; };
    auto r = store->commit({}, after, label, "op");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(packedFirst);
    EXPECT_EQ(looseObjects(), 2u) << "the tree and the commit";

    std::vector<history::FileVersion> few;
    for (int d = 0; d < 3; ++d) few.push_back({file(d), dump(d, 2), "No." + std::to_string(d)});
    r = store->commit({}, few, label, "op");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(count(".idx"), 1u);

    std::vector<history::FileVersion> before, sent;
    for (int d = 0; d < kDevices; ++d) {
        before.push_back({file(d), dump(d, 7), "No." + std::to_string(d)});
        sent.push_back({file(d), dump(d, 8), "No." + std::to_string(d)});
    }
    r = store->commit(before, sent, label, "op");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.commits, 2);
    EXPECT_EQ(count(".idx"), 2u) << "one pack for both commits";

    auto reader = open(false);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->log().size(), 4u);
    const auto log = reader->log();
    std::vector<std::string> files;
    for (int d = 0; d < kDevices; ++d) files.push_back(file(d));
    const auto revisions = reader->revisions(files, 0);
    for (int d = 0; d < kDevices; ++d) {
        SCOPED_TRACE(d);
        EXPECT_EQ(reader->latest(file(d)), dump(d, 8));
        EXPECT_EQ(reader->known(file(d)), dump(d, 8));
        EXPECT_EQ(reader->at(file(d), log.front().time), dump(d, 8));
        ASSERT_EQ(revisions[static_cast<size_t>(d)].size(), d < 3 ? 4u : 3u);
        EXPECT_EQ(revisions[static_cast<size_t>(d)].back().after, dump(d, 1));
    }
    EXPECT_EQ(fsck(), 0);
}

// Many runs that each change many devices: the packs are merged before there are more than the
// bound, nothing any commit named is lost (also from a pack git itself made, with deltas), and
// the store that merged reads on.
TEST_F(HistoryPacks, ManyLargeRunsKeepFewPacksAndLoseNothing) {
    constexpr int kDevices = 70;
    constexpr int kRuns = static_cast<int>(history::kMostPacks) + 3;
    auto store = open();
    for (int run = 0; run < kRuns; ++run) {
        std::vector<history::FileVersion> after;
        for (int d = 0; d < kDevices; ++d)
            after.push_back({file(d), dump(d, run), "No." + std::to_string(d)});
        const auto r = store->commit({}, after, label, "op");
        ASSERT_TRUE(r.ok) << r.error;
        if (run == 1) {
            ASSERT_EQ(std::system(("git -C " + m_repo.string() + " gc --quiet").c_str()), 0);
        }
        EXPECT_LE(count(".idx"), history::kMostPacks) << run;
        EXPECT_EQ(count(".idx"), count(".pack"));
        EXPECT_EQ(store->latest(file(run % kDevices)), dump(run % kDevices, run));
    }
    auto reader = open(false);
    const auto revisions = reader->revisions({file(0), file(kDevices - 1)}, 0);
    for (const auto& r : revisions) {
        ASSERT_EQ(r.size(), static_cast<size_t>(kRuns));
        for (int run = 0; run < kRuns; ++run)
            EXPECT_EQ(r[static_cast<size_t>(kRuns - 1 - run)].after,
                      dump(&r == &revisions[0] ? 0 : kDevices - 1, run));
    }
    EXPECT_EQ(fsck(), 0);
}

}  // namespace
