#include "Lumen/download/EventLoopThread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>

#include <future>
#include <utility>

namespace Lumen {

namespace {

QEvent::Type drainEventType()
{
    static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
    return registered;
}

} // namespace

class EventLoopThread::Receiver final : public QObject {
public:
    explicit Receiver(EventLoopThread& owner) : m_owner(owner) {}

    bool event(QEvent* event) override
    {
        if (event->type() != drainEventType())
            return QObject::event(event);
        m_owner.drain();
        return true;
    }

private:
    EventLoopThread& m_owner;
};

std::shared_ptr<EventLoopThread> EventLoopThread::start()
{
    auto thread = std::make_shared<EventLoopThread>(Passkey{});
    std::promise<void> running;
    auto started = running.get_future();
    std::thread([thread, running = std::move(running)]() mutable {
        QEventLoop loop;
        Receiver receiver(*thread);
        {
            std::lock_guard lock(thread->m_mutex);
            thread->m_receiver = &receiver;
            thread->m_loop = &loop;
            thread->m_threadId = std::this_thread::get_id();
        }
        running.set_value();
        loop.exec();
        // Objects the last work handed to deleteLater (a network manager's replies) go with
        // the thread instead of outliving it.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        std::lock_guard lock(thread->m_mutex);
        thread->m_receiver = nullptr;
        thread->m_loop = nullptr;
    }).detach();
    started.wait();
    return thread;
}

bool EventLoopThread::post(std::function<void()> work)
{
    std::lock_guard lock(m_mutex);
    if (m_quitting || !m_receiver)
        return false;
    enqueue(std::move(work));
    return true;
}

void EventLoopThread::quit(std::function<void()> lastWork)
{
    std::lock_guard lock(m_mutex);
    if (m_quitting || !m_receiver)
        return;
    m_quitting = true;
    enqueue([this, lastWork = std::move(lastWork)] {
        if (lastWork)
            lastWork();
        m_loop->quit();
    });
}

bool EventLoopThread::isCurrent() const
{
    std::lock_guard lock(m_mutex);
    return m_threadId == std::this_thread::get_id();
}

void EventLoopThread::enqueue(std::function<void()> work)
{
    // One wake-up event per batch: the drain it starts runs whatever is queued until then.
    const bool idle = m_work.empty();
    m_work.push_back(std::move(work));
    if (idle)
        QCoreApplication::postEvent(m_receiver, new QEvent(drainEventType()));
}

void EventLoopThread::drain()
{
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(m_mutex);
            if (m_work.empty())
                return;
            work = std::move(m_work.front());
            m_work.pop_front();
        }
        work();
    }
}

} // namespace Lumen
