#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QEventLoop;
class QObject;

namespace Lumen {

// A thread of its own running a Qt event loop, for objects that need one (a network manager,
// future watchers). Its owner never joins it: `quit` lets it end by itself, so the owner may be
// released anywhere, even on the thread itself, and the process joins it (see ThreadJoiner),
// ending it first when the application ends. Work is handed over under a mutex of ours and
// run, and released, on the thread. Needs a QCoreApplication.
class EventLoopThread {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    // `lastWork` runs on the thread before its loop ends, whether it is quit or ends with the
    // application. Answers once the loop runs.
    static std::shared_ptr<EventLoopThread> start(std::function<void()> lastWork = {});

    explicit EventLoopThread(Passkey) {}
    EventLoopThread(const EventLoopThread&) = delete;
    EventLoopThread& operator=(const EventLoopThread&) = delete;

    // Runs `work` on the thread after the work posted before it; false, without running it,
    // once `quit` has been called.
    bool post(std::function<void()> work);
    // Work posted before, then the last work, still runs; then the loop ends. Later calls do
    // nothing.
    void quit();
    bool isCurrent() const;

private:
    class Receiver;

    // With m_mutex held.
    void enqueue(std::function<void()> work);
    void enqueueEnding();
    // On the thread: runs the queued work, oldest first, including work queued meanwhile.
    void drain();

    // Set before the thread starts, taken on the thread.
    std::function<void()> m_lastWork;
    // Qt's event queue orders each post before its delivery, but inside Qt, where
    // ThreadSanitizer cannot see it; a release here and an acquire on delivery show it.
    std::atomic<std::uint64_t> m_wakeUps{0};
    mutable std::mutex m_mutex;
    std::deque<std::function<void()>> m_work;
    QObject* m_receiver = nullptr;
    QEventLoop* m_loop = nullptr;
    std::thread::id m_threadId;
    bool m_quitting = false;
};

} // namespace Lumen
