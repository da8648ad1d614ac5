#include "fleet/list_write_queue.h"

namespace fleet {

ListWriteQueue::ListWriteQueue(platform::EventLoop& loop, ListWriter& writer)
    : m_loop(loop), m_writer(writer), m_self(std::make_shared<ListWriteQueue*>(this)) {
    std::weak_ptr<ListWriteQueue*> self = m_self;
    m_thread = std::make_unique<BatchThread<ListWriter::Entry>>(
        [this, self](std::vector<ListWriter::Entry>& batch) {
            std::vector<ListWriter::Result> results = m_writer.recordAll(batch);
            ++m_batches;
            m_loop.post([self, results = std::move(results)]() mutable {
                if (auto queue = self.lock()) (*queue)->completed(std::move(results));
            });
        });
}

ListWriteQueue::~ListWriteQueue() {
    m_thread.reset();
    m_self.reset();
}

void ListWriteQueue::record(RecordIdentity identity, Outcome outcome, Done done) {
    m_done.push_back(std::move(done));
    m_thread->post({std::move(identity), std::move(outcome)});
}

void ListWriteQueue::completed(std::vector<ListWriter::Result> results) {
    for (const ListWriter::Result& r : results) {
        if (m_done.empty()) return;
        Done done = std::move(m_done.front());
        m_done.pop_front();
        if (done) done(r);
    }
}

}  // namespace fleet
