#include "Lumen/download/FutureCancellation.h"

#include "Lumen/download/EventLoopThread.h"

#include <QFutureWatcher>

#include <memory>
#include <utility>

namespace Lumen {

void whenCancelled(const QFuture<void>& future, std::function<void()> onCancel)
{
    static const std::shared_ptr<EventLoopThread> watching = EventLoopThread::start();
    watching->post([future, onCancel = std::move(onCancel)] {
        auto* watcher = new QFutureWatcher<void>();
        QObject::connect(watcher, &QFutureWatcherBase::canceled, watcher, onCancel);
        QObject::connect(watcher, &QFutureWatcherBase::finished, watcher, &QObject::deleteLater);
        // A future cancelled or finished before now is reported at once.
        watcher->setFuture(future);
    });
}

} // namespace Lumen
