// A run's part in the settings history: collects the dumps as the results come, and once the run
// is over makes its commit, both on a thread of its own so the loop never waits for the disk.
#pragma once

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fleet/batch_thread.h"
#include "fleet/dump_recorder.h"
#include "history/history_store.h"

namespace history {

// What the commit message says of the run.
struct RunInfo {
    std::string verb;       // "check" or "send"
    std::string selection;  // as the report names it
    size_t selected = 0;
    size_t ok = 0;
    size_t ng = 0;
};

// "check --all: 10 selected, 9 ok, 1 failed; changed: No.003 NAME, ..." and for a send's first
// commit "send ...: before the send; changed outside: ...".
std::string CommitMessage(const RunInfo& run, bool before, const std::vector<std::string>& labels);

class RunRecorder : public fleet::DumpRecorder {
public:
    explicit RunRecorder(std::filesystem::path repository, std::string user = OperatorName());
    // Waits for the commit, if one was asked for.
    ~RunRecorder() override;

    void add(fleet::RecordedDump dump) override;
    // Commits what was added, after it. done, when given, is called on the recorder's thread.
    void commit(RunInfo run, std::function<void(const CommitResult&)> done = {});
    // Waits for the commit and gives its result.
    CommitResult wait();
    // The commit is made (or failed).
    bool idle() const;

private:
    struct Job {
        fleet::RecordedDump dump;
        std::function<void()> commit;  // set: the run is over
    };
    void handle(std::vector<Job>& jobs);
    void take(fleet::RecordedDump& dump);
    CommitResult commitNow(const RunInfo& run);

    std::filesystem::path m_repository;
    std::string m_user;
    // The thread's alone. The dumps after are written into the repository as they come, so the
    // run holds none of them; a dump before only when it differs from the device's last one.
    std::unique_ptr<Store> m_store;
    std::string m_error;  // the store could not be opened or written
    std::vector<FileVersion> m_before;
    std::vector<FileVersion> m_after;
    mutable std::mutex m_mutex;
    bool m_asked = false;
    bool m_done = false;
    CommitResult m_result;
    std::condition_variable m_doneCv;
    std::unique_ptr<fleet::BatchThread<Job>> m_thread;  // last: it goes first
};

}  // namespace history
