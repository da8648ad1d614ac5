#include "history/run_recorder.h"

#include <utility>

namespace history {

std::string CommitMessage(const RunInfo& run, bool before, const std::vector<std::string>& labels) {
    std::string text = run.verb + (run.selection.empty() ? "" : " " + run.selection) + ": " +
                       std::to_string(run.selected) + " selected, " + std::to_string(run.ok) +
                       " ok, " + std::to_string(run.ng) + " failed";
    text += before ? "\n\nbefore the send, changed outside the program:\n" : "\n\nchanged:\n";
    for (const auto& l : labels) text += l + "\n";
    return text;
}

RunRecorder::RunRecorder(std::filesystem::path repository, std::string user)
    : m_repository(std::move(repository)),
      m_user(std::move(user)),
      m_thread(std::make_unique<fleet::BatchThread<Job>>(
          [this](std::vector<Job>& jobs) { handle(jobs); })) {}

RunRecorder::~RunRecorder() {
    m_thread.reset();
}

void RunRecorder::add(fleet::RecordedDump dump) {
    m_thread->post(Job{std::move(dump), nullptr});
}

void RunRecorder::commit(RunInfo run, std::function<void(const CommitResult&)> done) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_asked = true;
    }
    m_thread->post(Job{{}, [this, run = std::move(run), done = std::move(done)] {
                           const CommitResult result = commitNow(run);
                           if (done) done(result);
                           {
                               std::lock_guard<std::mutex> lock(m_mutex);
                               m_result = result;
                               m_done = true;
                           }
                           m_doneCv.notify_all();
                       }});
}

CommitResult RunRecorder::commitNow(const RunInfo& run) {
    CommitResult result;
    auto message = [&run](bool before, const std::vector<std::string>& labels) {
        return CommitMessage(run, before, labels);
    };
    if (!m_error.empty())
        result = {false, 0, {}, m_error};
    else if (m_store && (!m_before.empty() || !m_after.empty()))
        result = m_store->commit(m_before, m_after, message, m_user);
    m_before.clear();
    m_after.clear();
    m_store.reset();
    return result;
}

void RunRecorder::handle(std::vector<Job>& jobs) {
    for (Job& job : jobs) {
        if (job.commit)
            job.commit();
        else
            take(job.dump);
    }
}

void RunRecorder::take(fleet::RecordedDump& d) {
    if (!m_error.empty()) return;
    if (!m_store && !(m_store = Store::open(m_repository, true, m_error))) return;
    if (!d.before.empty()) {
        std::string before = StoredDump(d.before);
        // The head as the run first read it: the commit compares with the head it builds on.
        const std::optional<std::string> known = m_store->known(d.file);
        if (!known || DumpBody(*known) != DumpBody(before))
            m_before.push_back({d.file, std::move(before), d.label});
    }
    if (!d.after.empty()) {
        BlobId id;
        if (!m_store->writeBlob(d.file, StoredDump(d.after), id)) {
            m_error = "cannot write into " + m_repository.string();
            return;
        }
        m_after.push_back({d.file, {}, std::move(d.label), id});
    }
}

CommitResult RunRecorder::wait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_asked) return {};
    m_doneCv.wait(lock, [this] { return m_done; });
    return m_result;
}

bool RunRecorder::idle() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_asked || m_done;
}

}  // namespace history
