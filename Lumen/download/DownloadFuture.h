#pragma once

#include "Lumen/download/CancellationDownloadTask.h"
#include "Lumen/download/DownloadTask.h"
#include "Lumen/download/FutureCancellation.h"
#include "Lumen/foundation/DispatchQueue.h"

#include <QFuture>
#include <QPromise>

#include <functional>
#include <memory>

namespace Lumen {

// A download as a future: `start` runs from the shared concurrent queue with a completion that
// fulfils the future, and answers the download task, which cancelling the future cancels.
template<class Result>
QFuture<Result> downloadFuture(std::function<std::shared_ptr<DownloadTask>(std::function<void(Result)>)> start)
{
    const auto promise = std::make_shared<QPromise<Result>>();
    promise->start();
    QFuture<Result> future = promise->future();
    const auto cancellation = std::make_shared<CancellationDownloadTask>();
    whenCancelled(QFuture<void>(future), [cancellation] { cancellation->cancel(); });

    DispatchQueue::global()->async([start = std::move(start), promise, cancellation] {
        cancellation->setTask(start([promise](Result result) {
            promise->addResult(std::move(result));
            promise->finish();
        }));
    });
    return future;
}

} // namespace Lumen
