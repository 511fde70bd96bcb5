#pragma once

#include "Lumen/foundation/DispatchBlock.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
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
    // Lets running jobs finish and discards the others; later jobs are dropped. Also called
    // for the shared pool as the application object is destroyed.
    void stop();
    // Whether jobs are waiting for a worker; a hint, read without the lock.
    bool hasWaitingJobs() const { return m_waitingJobs.load(std::memory_order_relaxed) > 0; }

private:
    void work();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<DispatchBlock> m_jobs;
    std::atomic<std::size_t> m_waitingJobs{0}; // mirrors m_jobs.size() for lock-free peeks
    std::size_t m_idleWorkers = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};

} // namespace Lumen
