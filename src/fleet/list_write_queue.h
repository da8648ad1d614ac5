// The list write of a run, off the event loop. Taking the lock, re-reading a list of many
// megabytes, rewriting it and its fsync may take seconds (another program may hold the lock for
// as long as it likes); done on the loop, that time would stop every dialogue and turn
// answering devices into time-outs. Results go to one writer thread in the order they come;
// what arrived while the thread waited is written with one lock and one rewrite; each result's
// completion comes back through the loop, in the same order. While results keep coming, a
// rewrite follows the previous one by at least kListWriteGapMs: a big fleet's results then cost
// a rewrite each tenth of a second rather than one each, and a result after a quiet spell (the
// window's, or a slow fleet's) is written at once.
#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "fleet/batch_thread.h"
#include "fleet/list_writer.h"
#include "platform/event_loop.h"

namespace fleet {

constexpr int kListWriteGapMs = 100;

class ListWriteQueue {
public:
    using Done = std::function<void(const ListWriter::Result&)>;

    // The writer is used only on the queue's thread from now on.
    ListWriteQueue(platform::EventLoop& loop, ListWriter& writer,
                   std::chrono::milliseconds gap = std::chrono::milliseconds(kListWriteGapMs));
    // Waits until every result given is written; completions not yet run are dropped.
    ~ListWriteQueue();
    ListWriteQueue(const ListWriteQueue&) = delete;
    ListWriteQueue& operator=(const ListWriteQueue&) = delete;

    // On the loop: queues the outcome; done runs on the loop once it is in the file (or failed).
    void record(RecordIdentity identity, Outcome outcome, Done done);
    // On the loop: waits until every result given is written and runs their completions now;
    // nothing can be given after it.
    void finish();
    // On the loop: the results given are written without waiting out the gap, for when no
    // more are coming soon.
    void hurry() {
        if (m_thread) m_thread->hurry();
    }
    // On the loop: results given whose completion has not run yet.
    size_t pending() const { return m_done.size(); }
    // How many batches the thread has written, each with one lock and one rewrite (any thread).
    int batches() const { return m_batches.load(); }

private:
    void deliver();

    platform::EventLoop& m_loop;
    ListWriter& m_writer;
    std::deque<Done> m_done;  // loop thread only
    std::atomic<int> m_batches{0};
    std::mutex m_readyMutex;
    std::deque<ListWriter::Result> m_ready;  // written, their completions not run yet
    // Completions posted to the loop check it, so that none runs after the queue is gone.
    std::shared_ptr<ListWriteQueue*> m_self;
    std::unique_ptr<BatchThread<ListWriter::Entry>> m_thread;  // last: goes first
};

}  // namespace fleet
