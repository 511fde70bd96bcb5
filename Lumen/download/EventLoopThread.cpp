#include "Lumen/download/EventLoopThread.h"

#include "Lumen/download/ThreadJoiner.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>

#include <future>
#include <utility>

#include <pthread.h>

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
        (void)m_owner.m_wakeUps.load(std::memory_order_acquire);
        if (event->type() != drainEventType())
            return QObject::event(event);
        m_owner.drain();
        return true;
    }

private:
    EventLoopThread& m_owner;
};

std::shared_ptr<EventLoopThread> EventLoopThread::start(std::function<void()> lastWork)
{
    auto thread = std::make_shared<EventLoopThread>(Passkey{});
    thread->m_lastWork = std::move(lastWork);
    const auto running = std::make_shared<std::promise<void>>();
    auto started = running->get_future();
    ThreadJoiner::start(
        [thread, running] {
            pthread_setname_np(pthread_self(), "Lumen session");
            QEventLoop loop;
            Receiver receiver(*thread);
            {
                std::lock_guard lock(thread->m_mutex);
                thread->m_receiver = &receiver;
                thread->m_loop = &loop;
                thread->m_threadId = std::this_thread::get_id();
                if (thread->m_quitting)
                    thread->enqueueEnding();
            }
            running->set_value();
            loop.exec();
            // Objects the last work handed to deleteLater (a network manager's replies) go with
            // the thread instead of outliving it.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            std::lock_guard lock(thread->m_mutex);
            thread->m_receiver = nullptr;
            thread->m_loop = nullptr;
        },
        [weakThread = std::weak_ptr<EventLoopThread>(thread)] {
            if (const auto ending = weakThread.lock())
                ending->quit();
        });
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

void EventLoopThread::quit()
{
    std::lock_guard lock(m_mutex);
    if (m_quitting)
        return;
    m_quitting = true;
    // A thread still starting ends once its loop is set up.
    if (m_receiver)
        enqueueEnding();
}

bool EventLoopThread::isCurrent() const
{
    std::lock_guard lock(m_mutex);
    return m_threadId == std::this_thread::get_id();
}

void EventLoopThread::enqueueEnding()
{
    enqueue([this] {
        if (const auto lastWork = std::exchange(m_lastWork, nullptr))
            lastWork();
        m_loop->quit();
    });
}

void EventLoopThread::enqueue(std::function<void()> work)
{
    // One wake-up event per batch: the drain it starts runs whatever is queued until then.
    const bool idle = m_work.empty();
    m_work.push_back(std::move(work));
    if (!idle)
        return;
    auto* const wakeUp = new QEvent(drainEventType());
    m_wakeUps.fetch_add(1, std::memory_order_release);
    QCoreApplication::postEvent(m_receiver, wakeUp);
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
