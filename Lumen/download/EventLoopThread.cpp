#include "Lumen/download/EventLoopThread.h"

#include <QEventLoop>
#include <QObject>

#include <future>
#include <utility>

namespace Lumen {

std::shared_ptr<EventLoopThread> EventLoopThread::start()
{
    auto thread = std::make_shared<EventLoopThread>(Passkey{});
    std::promise<void> running;
    auto started = running.get_future();
    std::thread([thread, running = std::move(running)]() mutable {
        QEventLoop loop;
        QObject context;
        {
            std::lock_guard lock(thread->m_mutex);
            thread->m_context = &context;
            thread->m_loop = &loop;
            thread->m_threadId = std::this_thread::get_id();
        }
        running.set_value();
        loop.exec();
        std::lock_guard lock(thread->m_mutex);
        thread->m_context = nullptr;
        thread->m_loop = nullptr;
    }).detach();
    started.wait();
    return thread;
}

bool EventLoopThread::post(std::function<void()> work)
{
    std::lock_guard lock(m_mutex);
    if (m_quitting || !m_context)
        return false;
    QMetaObject::invokeMethod(m_context, std::move(work), Qt::QueuedConnection);
    return true;
}

void EventLoopThread::quit(std::function<void()> lastWork)
{
    std::lock_guard lock(m_mutex);
    if (m_quitting || !m_context)
        return;
    m_quitting = true;
    QMetaObject::invokeMethod(
        m_context,
        [loop = m_loop, lastWork = std::move(lastWork)] {
            if (lastWork)
                lastWork();
            loop->quit();
        },
        Qt::QueuedConnection);
}

bool EventLoopThread::isCurrent() const
{
    std::lock_guard lock(m_mutex);
    return m_threadId == std::this_thread::get_id();
}

} // namespace Lumen
