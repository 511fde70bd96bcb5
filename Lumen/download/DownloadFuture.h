#pragma once

#include "Lumen/download/CancellationDownloadTask.h"
#include "Lumen/download/DownloadTask.h"
#include "Lumen/download/FutureCancellation.h"
#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/foundation/OncePromise.h"

#include <QFuture>

#include <functional>
#include <memory>
#include <type_traits>

namespace Lumen {

// Work as a future: `start` runs from the shared concurrent queue with a completion that
// fulfils the future, and answers the work's handle (a download task, or anything that can
// `cancel()`), which cancelling the future cancels.
template<class Result, class Task = DownloadTask>
QFuture<Result> downloadFuture(
    std::type_identity_t<std::function<std::shared_ptr<Task>(std::function<void(Result)>)>> start)
{
    const OncePromise<Result> promise;
    QFuture<Result> future = promise.future();
    const auto cancellation = std::make_shared<CancellationHolder<Task>>();
    whenCancelled(QFuture<void>(future), [cancellation] { cancellation->cancel(); });

    DispatchQueue::global()->async([start = std::move(start), promise, cancellation] {
        cancellation->setTask(start([promise](Result result) { promise.finish(std::move(result)); }));
    });
    return future;
}

} // namespace Lumen
