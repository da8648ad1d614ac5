#include "fleet/list_write_queue.h"

namespace fleet {

ListWriteQueue::ListWriteQueue(platform::EventLoop& loop, ListWriter& writer,
                               std::chrono::milliseconds gap)
    : m_loop(loop), m_writer(writer), m_self(std::make_shared<ListWriteQueue*>(this)) {
    std::weak_ptr<ListWriteQueue*> self = m_self;
    m_thread = std::make_unique<BatchThread<ListWriter::Entry>>(
        [this, self](std::vector<ListWriter::Entry>& batch) {
            std::vector<ListWriter::Result> results = m_writer.recordAll(batch);
            ++m_batches;
            {
                std::lock_guard<std::mutex> lock(m_readyMutex);
                for (ListWriter::Result& r : results) m_ready.push_back(std::move(r));
            }
            m_loop.post([self] {
                if (auto queue = self.lock(); queue && *queue) (*queue)->deliver();
            });
        },
        gap);
}

ListWriteQueue::~ListWriteQueue() {
    m_thread.reset();
    *m_self = nullptr;
}

void ListWriteQueue::record(RecordIdentity identity, Outcome outcome, Done done) {
    if (!m_thread) return;
    m_done.push_back(std::move(done));
    m_thread->post({std::move(identity), std::move(outcome)});
}

void ListWriteQueue::finish() {
    m_thread.reset();
    deliver();
}

void ListWriteQueue::deliver() {
    // A completion may drop the queue: the shared pointer tells, after each, whether it is
    // still there.
    const std::shared_ptr<ListWriteQueue*> self = m_self;
    for (;;) {
        ListWriter::Result r;
        {
            std::lock_guard<std::mutex> lock(m_readyMutex);
            if (m_ready.empty() || m_done.empty()) return;
            r = std::move(m_ready.front());
            m_ready.pop_front();
        }
        Done done = std::move(m_done.front());
        m_done.pop_front();
        if (done) done(r);
        if (!*self) return;
    }
}

}  // namespace fleet
