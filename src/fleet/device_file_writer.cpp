#include "fleet/device_file_writer.h"

#include <cerrno>
#include <future>
#include <optional>
#include <utility>

namespace fleet {

struct DeviceFileWriter::Job {
    std::filesystem::path path;
    std::string bytes;
    std::function<void(int error)> done;
    // A finish instead of a save: the folder to sync, and who waits for it.
    std::shared_ptr<std::promise<bool>> synced;
};

DeviceFileWriter::DeviceFileWriter(platform::EventLoop& loop)
    : m_loop(loop),
      m_thread(std::make_unique<BatchThread<Job>>([this](std::vector<Job>& b) { work(b); })) {}

DeviceFileWriter::~DeviceFileWriter() {
    *m_alive = false;
    m_thread.reset();
}

void DeviceFileWriter::save(std::filesystem::path path, std::string bytes,
                            std::function<void(int error)> done) {
    m_thread->post({std::move(path), std::move(bytes), std::move(done), nullptr});
}

bool DeviceFileWriter::finish(const std::filesystem::path& folder) {
    auto synced = std::make_shared<std::promise<bool>>();
    std::future<bool> ok = synced->get_future();
    m_thread->post({folder, {}, {}, synced});
    return ok.get();
}

void DeviceFileWriter::work(std::vector<Job>& batch) {
    std::vector<Result> results;
    // Every save of the round was asked before this look: one asked after the folder turned
    // read-only sees it.
    m_batch.lookAgain();
    for (Job& job : batch) {
        if (job.synced) {
            job.synced->set_value(m_batch.finish(job.path));
            continue;
        }
        const int error = m_batch.write(job.path, job.bytes) ? 0 : (errno != 0 ? errno : EIO);
        job.bytes = {};
        results.emplace_back(std::move(job.done), error);
    }
    if (results.empty()) return;
    {
        std::lock_guard<std::mutex> lock(m_readyMutex);
        for (Result& r : results) m_ready.push_back(std::move(r));
        if (std::exchange(m_posted, true)) return;
    }
    m_loop.post([this, alive = m_alive] {
        if (*alive) deliver();
    });
}

void DeviceFileWriter::deliver() {
    std::vector<Result> ready;
    {
        std::lock_guard<std::mutex> lock(m_readyMutex);
        ready.swap(m_ready);
        m_posted = false;
    }
    // A result may drop the writer: the token tells, after each, whether it is still there.
    const std::shared_ptr<bool> alive = m_alive;
    for (const Result& r : ready) {
        if (r.first) r.first(r.second);
        if (!*alive) return;
    }
}

}  // namespace fleet
