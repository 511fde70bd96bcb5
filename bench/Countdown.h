#pragma once

#include <condition_variable>
#include <mutex>

// Counts completions down from any thread; `wait` answers how many failed.
class Countdown {
public:
    explicit Countdown(int count) : m_left(count) {}
    void done(bool success = true)
    {
        std::lock_guard lock(m_mutex);
        m_failures += success ? 0 : 1;
        if (--m_left == 0)
            m_finished.notify_all();
    }
    int wait()
    {
        std::unique_lock lock(m_mutex);
        m_finished.wait(lock, [&] { return m_left == 0; });
        return m_failures;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_finished;
    int m_left;
    int m_failures = 0;
};
