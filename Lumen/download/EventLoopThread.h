#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QEventLoop;
class QObject;

namespace Lumen {

// A thread of its own running a Qt event loop, for objects that need one (a network manager,
// future watchers). It is never joined: `quit` lets it end by itself, so its owner may be
// released anywhere, even on the thread itself. Needs a QCoreApplication.
class EventLoopThread {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    // Answers once the loop runs.
    static std::shared_ptr<EventLoopThread> start();

    explicit EventLoopThread(Passkey) {}
    EventLoopThread(const EventLoopThread&) = delete;
    EventLoopThread& operator=(const EventLoopThread&) = delete;

    // Runs `work` on the thread after the work posted before it; false, without running it,
    // once `quit` has been called.
    bool post(std::function<void()> work);
    // Work posted before, then `lastWork`, still runs; then the loop ends. Later calls do nothing.
    void quit(std::function<void()> lastWork = {});
    bool isCurrent() const;

private:
    mutable std::mutex m_mutex;
    QObject* m_context = nullptr;
    QEventLoop* m_loop = nullptr;
    std::thread::id m_threadId;
    bool m_quitting = false;
};

} // namespace Lumen
