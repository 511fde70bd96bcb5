#include "Lumen/foundation/MainDispatchQueue.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QtGlobal>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace Lumen {

namespace {

// Carries a block to the GUI thread. Qt deletes the event there after running it, or on
// shutdown without running it; the posting thread never touches it again. So whatever the
// block captures is released on the GUI thread, and nothing the GUI thread reads is freed by
// another one (as happens when a queued functor's last reference falls to the poster).
class MainQueueEvent final : public QEvent {
public:
    explicit MainQueueEvent(DispatchBlock block) : QEvent(eventType()), m_block(std::move(block)) {}

    static QEvent::Type eventType()
    {
        static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
        return registered;
    }

    void run() { m_block(); }

private:
    DispatchBlock m_block;
};

// Qt's event queue orders each post before its delivery, but inside Qt, where
// ThreadSanitizer cannot see it; this release and acquire show it the same order.
std::atomic<std::uint64_t> postedEvents{0};

class MainQueueReceiver final : public QObject {
public:
    bool event(QEvent* event) override
    {
        (void)postedEvents.load(std::memory_order_acquire);
        if (event->type() != MainQueueEvent::eventType())
            return QObject::event(event);
        static_cast<MainQueueEvent*>(event)->run();
        return true;
    }
};

// Lives for the whole process on the GUI thread; made by whichever thread first posts.
QObject* mainQueueReceiver(const QCoreApplication& app)
{
    static QObject* const receiver = [&app] {
        auto* made = new MainQueueReceiver;
        made->moveToThread(app.thread());
        return made;
    }();
    return receiver;
}

void post(const QCoreApplication& app, DispatchBlock block)
{
    auto* const event = new MainQueueEvent(std::move(block));
    postedEvents.fetch_add(1, std::memory_order_release);
    QCoreApplication::postEvent(mainQueueReceiver(app), event);
}

// Shared between a `sync` caller and the block it posted. The posted block may be run or, on
// shutdown, discarded; either way its destruction releases the caller.
struct MainSyncState {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool ran = false;
};

class MainSyncRelease {
public:
    explicit MainSyncRelease(std::shared_ptr<MainSyncState> state) : m_state(std::move(state)) {}
    MainSyncRelease(MainSyncRelease&& other) noexcept = default;
    MainSyncRelease& operator=(MainSyncRelease&&) = delete;
    ~MainSyncRelease()
    {
        if (!m_state)
            return;
        std::lock_guard lock(m_state->mutex);
        m_state->finished = true;
        m_state->done.notify_all();
    }

    void markRan()
    {
        std::lock_guard lock(m_state->mutex);
        m_state->ran = true;
    }

private:
    std::shared_ptr<MainSyncState> m_state;
};

} // namespace

MainDispatchQueue::MainDispatchQueue(QString label, std::shared_ptr<DispatchClock> clock)
    : DispatchQueue(std::move(label), std::move(clock))
{
}

bool MainDispatchQueue::isMainThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

bool MainDispatchQueue::isCurrent() const
{
    return isMainThread();
}

void MainDispatchQueue::async(DispatchBlock block)
{
    if (!block)
        return;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        qWarning("Lumen: no application event loop; a main-queue block was dropped");
        return;
    }
    post(*app, std::move(block));
}

std::expected<void, DispatchError> MainDispatchQueue::runSync(SyncBody body, void* context)
{
    if (isMainThread()) {
        body(context);
        return {};
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return std::unexpected(DispatchError::mainLoopUnavailable);

    auto state = std::make_shared<MainSyncState>();
    post(*app, [release = MainSyncRelease(state), body, context]() mutable {
        body(context);
        release.markRan();
    });

    std::unique_lock lock(state->mutex);
    state->done.wait(lock, [&] { return state->finished; });
    if (!state->ran)
        return std::unexpected(DispatchError::mainLoopUnavailable);
    return {};
}

} // namespace Lumen
