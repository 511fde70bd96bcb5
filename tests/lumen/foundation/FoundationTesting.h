#pragma once

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>

namespace Lumen::Testing {

// A one-shot gate that lets a test hold a block in place while it checks something.
class Gate {
public:
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    // Bounded, so a broken queue fails the test instead of hanging it.
    bool wait()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

inline bool onGuiThread()
{
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

// A distinct, never dereferenced shared handle of a type that is only declared so far, for
// tests of code that merely carries such objects around and compares them.
template <typename T>
std::shared_ptr<T> opaqueHandle()
{
    auto owner = std::make_shared<std::max_align_t>();
    return std::shared_ptr<T>(owner, reinterpret_cast<T*>(owner.get()));
}

} // namespace Lumen::Testing
