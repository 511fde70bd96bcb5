// The downloader's future forms: each starts the completion form from the shared concurrent
// queue and fulfils its future where the result arrives.
#include "Lumen/download/ImageDownloader.h"

#include "Lumen/download/CancellationDownloadTask.h"
#include "Lumen/download/FutureCancellation.h"
#include "Lumen/foundation/DispatchQueue.h"

#include <QPromise>

namespace Lumen {

QFuture<ImageDownloader::CompletionResult> ImageDownloader::downloadImageAsync(const QUrl& url,
                                                                               LumenParsedOptionsInfo options)
{
    const auto promise = std::make_shared<QPromise<CompletionResult>>();
    promise->start();
    QFuture<CompletionResult> future = promise->future();
    const auto cancellation = std::make_shared<CancellationDownloadTask>();
    whenCancelled(QFuture<void>(future), [cancellation] { cancellation->cancel(); });

    // A waiter may block the main thread; the result must not need it.
    options.callbackQueue = CallbackQueue::untouch();
    DispatchQueue::global()->async([self = shared_from_this(), url, options, promise, cancellation] {
        cancellation->setTask(self->downloadImage(url, options, [promise](CompletionResult result) {
            promise->addResult(std::move(result));
            promise->finish();
        }));
    });
    return future;
}

QFuture<ImageDownloader::CompletionResult> ImageDownloader::downloadImageAsync(
    const QUrl& url, const std::optional<LumenOptionsInfo>& options, ProgressBlock progressBlock)
{
    return downloadImageAsync(url, withProgress(LumenParsedOptionsInfo(options), std::move(progressBlock)));
}

} // namespace Lumen
