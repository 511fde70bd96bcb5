#pragma once

#include "Lumen/foundation/DispatchBlock.h"

#include <atomic>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <semaphore>
#include <thread>
#include <vector>

namespace Lumen {

// The fixed set of worker threads behind every serial and concurrent queue. Jobs run in
// submission order as workers free up. At process exit the pool stops: running jobs finish,
// jobs not yet started are discarded.
class DispatchThreadPool {
public:
    static DispatchThreadPool& shared();

    explicit DispatchThreadPool(std::size_t threadCount);
    ~DispatchThreadPool();
    DispatchThreadPool(const DispatchThreadPool&) = delete;
    DispatchThreadPool& operator=(const DispatchThreadPool&) = delete;

    void submit(DispatchBlock job);
    std::size_t threadCount() const { return m_workers.size(); }
    // Lets running jobs finish and discards the others; later jobs are dropped. Also called
    // for the shared pool as the application object is destroyed.
    void stop();
    // Whether jobs are waiting for a worker; a hint, read without the lock.
    bool hasWaitingJobs() const { return m_waitingJobs.load(std::memory_order_relaxed) > 0; }

private:
    void work(std::size_t worker);

    std::mutex m_mutex;
    std::deque<DispatchBlock> m_jobs;
    std::atomic<std::size_t> m_waitingJobs{0}; // mirrors m_jobs.size() for lock-free peeks
    // Each worker sleeps on a wake of its own, and a submit wakes one sleeper by name: with one
    // shared condition variable, submitters and waking workers queue on its internal lock, which
    // made a burst of short jobs from many threads wait on one another.
    std::vector<std::unique_ptr<std::binary_semaphore>> m_wakes;
    // Sleeping workers, the last to sleep woken first, as its caches are the warmest. A worker
    // taken off this list has exactly one wake coming.
    std::vector<std::size_t> m_sleeping;
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};

} // namespace Lumen
