#include "Lumen/foundation/DispatchThreadPool.h"

#include <QCoreApplication>

#include <algorithm>

#include <pthread.h>

namespace Lumen {

DispatchThreadPool& DispatchThreadPool::shared()
{
    static DispatchThreadPool pool([] {
        // Stopped while the application object goes, before Qt's own statics: a job still
        // running after them (an image being encoded for the disk cache) would use them.
        qAddPostRoutine([] { shared().stop(); });
        return std::max(4u, std::thread::hardware_concurrency());
    }());
    return pool;
}

DispatchThreadPool::DispatchThreadPool(std::size_t threadCount)
{
    m_wakes.reserve(threadCount);
    m_sleeping.reserve(threadCount);
    for (std::size_t i = 0; i < threadCount; ++i)
        m_wakes.push_back(std::make_unique<std::binary_semaphore>(0));
    m_workers.reserve(threadCount);
    for (std::size_t i = 0; i < threadCount; ++i)
        m_workers.emplace_back([this, i] {
            // Named so a profile or a debugger tells the library's threads apart.
            pthread_setname_np(pthread_self(), "Lumen worker");
            work(i);
        });
}

DispatchThreadPool::~DispatchThreadPool()
{
    stop();
}

void DispatchThreadPool::stop()
{
    std::deque<DispatchBlock> discarded;
    std::vector<std::size_t> sleeping;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        m_stopping = true;
        discarded.swap(m_jobs);
        m_waitingJobs.store(0, std::memory_order_relaxed);
        sleeping.swap(m_sleeping);
    }
    // Workers off the list are awake or have their wake coming; they see the stop on their own.
    for (const std::size_t worker : sleeping)
        m_wakes[worker]->release();
    // Released outside the lock: a dropped job may own a queue whose teardown calls `submit`.
    discarded.clear();
    const auto self = std::this_thread::get_id();
    for (auto& worker : m_workers) {
        // A worker that ends the process cannot wait for itself.
        if (worker.get_id() == self)
            worker.detach();
        else
            worker.join();
    }
}

void DispatchThreadPool::submit(DispatchBlock job)
{
    std::unique_lock lock(m_mutex);
    if (m_stopping) {
        lock.unlock();
        return; // `job` is released outside the lock
    }
    m_jobs.push_back(std::move(job));
    m_waitingJobs.store(m_jobs.size(), std::memory_order_relaxed);
    if (m_sleeping.empty())
        return;
    const std::size_t worker = m_sleeping.back();
    m_sleeping.pop_back();
    lock.unlock();
    m_wakes[worker]->release();
}

void DispatchThreadPool::work(std::size_t worker)
{
    std::unique_lock lock(m_mutex);
    while (true) {
        if (m_stopping)
            return;
        if (m_jobs.empty()) {
            m_sleeping.push_back(worker);
            lock.unlock();
            m_wakes[worker]->acquire();
            lock.lock();
            continue;
        }
        DispatchBlock job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_waitingJobs.store(m_jobs.size(), std::memory_order_relaxed);
        lock.unlock();
        job();
        job = nullptr;
        lock.lock();
    }
}

} // namespace Lumen
