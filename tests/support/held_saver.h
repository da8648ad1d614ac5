// A file saver that holds each save until the test lets it go, as a slow disk would: the test
// plays what happens meanwhile, then writes the file (or fails it) and its result comes back at
// the loop's next dispatch, as from a writer thread.
#pragma once

#include <cerrno>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include "fake_event_loop.h"
#include "platform/files.h"
#include "session/session_context.h"

namespace testsupport {

class HeldSaver : public session::FileSaver {
public:
    explicit HeldSaver(FakeEventLoop& loop) : m_loop(loop) {}

    void save(std::filesystem::path path, std::string bytes,
              std::function<void(int error)> done) override {
        m_jobs.push_back({std::move(path), std::move(bytes), std::move(done)});
    }
    size_t pending() const { return m_jobs.size(); }
    const std::filesystem::path& next() const { return m_jobs.front().path; }
    // The oldest save is written, or fails with error and writes nothing.
    void release(int error = 0) {
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        if (error == 0 && !platform::writeFileAtomicNative(job.path, job.bytes)) error = errno;
        m_loop.post([done = std::move(job.done), error] { done(error); });
    }

private:
    struct Job {
        std::filesystem::path path;
        std::string bytes;
        std::function<void(int)> done;
    };
    FakeEventLoop& m_loop;
    std::deque<Job> m_jobs;
};

}  // namespace testsupport
