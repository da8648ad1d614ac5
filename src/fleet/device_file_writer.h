// A fleet run's device files, saved off the event loop: one thread per run takes the sessions'
// saves in the order they come and writes them through one SaveBatch (no fsync each, a spare to
// exchange with), and hands each batch's results back to the loop in one posted event. With
// dozens of sessions on one loop, saves on it would stop every dialogue for their system calls.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fleet/batch_thread.h"
#include "platform/event_loop.h"
#include "platform/files.h"
#include "session/session_context.h"

namespace fleet {

class DeviceFileWriter : public session::FileSaver {
public:
    explicit DeviceFileWriter(platform::EventLoop& loop);
    // Waits until every save asked is written; results not yet back are dropped.
    ~DeviceFileWriter() override;
    DeviceFileWriter(const DeviceFileWriter&) = delete;
    DeviceFileWriter& operator=(const DeviceFileWriter&) = delete;

    void save(std::filesystem::path path, std::string bytes,
              std::function<void(int error)> done) override;
    // On the loop: waits until every save asked is written, then removes the spare and makes the
    // folder's file system durable (syncfs); false when the sync failed.
    bool finish(const std::filesystem::path& folder);

private:
    struct Job;
    using Result = std::pair<std::function<void(int)>, int>;
    void work(std::vector<Job>& batch);
    void deliver();

    platform::EventLoop& m_loop;
    platform::SaveBatch m_batch{platform::SaveBatch::Looks::WhenAsked};  // the thread's alone
    // Results written and not yet handed back; one posted event at a time hands back all there
    // are by then, so a busy run wakes the loop far less often than once per file.
    std::mutex m_readyMutex;
    std::vector<Result> m_ready;
    bool m_posted = false;
    // Results posted to the loop check it, so that none runs after the writer is gone.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::unique_ptr<BatchThread<Job>> m_thread;  // last: goes first
};

}  // namespace fleet
