#include "Lumen/download/FutureCancellation.h"

#include "Lumen/download/EventLoopThread.h"

#include <QFutureWatcher>

#include <memory>
#include <utility>

namespace Lumen {

namespace {

// Parent of the watchers, made and deleted on the watching thread, so that watchers of
// futures still running when the application ends go with the thread.
QObject* watchers = nullptr;

} // namespace

void whenCancelled(const QFuture<void>& future, std::function<void()> onCancel)
{
    static const std::shared_ptr<EventLoopThread> watching =
        EventLoopThread::start([] { delete std::exchange(watchers, nullptr); });
    watching->post([future, onCancel = std::move(onCancel)] {
        if (!watchers)
            watchers = new QObject;
        auto* watcher = new QFutureWatcher<void>(watchers);
        QObject::connect(watcher, &QFutureWatcherBase::canceled, watcher, onCancel);
        QObject::connect(watcher, &QFutureWatcherBase::finished, watcher, &QObject::deleteLater);
        // A future cancelled or finished before now is reported at once.
        watcher->setFuture(future);
    });
}

} // namespace Lumen
