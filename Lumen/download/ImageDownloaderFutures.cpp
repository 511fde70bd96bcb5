// The downloader's future forms: each starts the completion form from the shared concurrent
// queue and fulfils its future where the result arrives.
#include "Lumen/download/ImageDownloader.h"

#include "Lumen/download/DownloadFuture.h"

namespace Lumen {

QFuture<ImageDownloader::CompletionResult> ImageDownloader::downloadImageAsync(const QUrl& url,
                                                                               LumenParsedOptionsInfo options)
{
    // A waiter may block the main thread; the result must not need it.
    options.callbackQueue = CallbackQueue::untouch();
    return downloadFuture<CompletionResult>([self = shared_from_this(), url, options](auto completionHandler) {
        return self->downloadImage(url, options, std::move(completionHandler));
    });
}

QFuture<ImageDownloader::CompletionResult> ImageDownloader::downloadImageAsync(
    const QUrl& url, const std::optional<LumenOptionsInfo>& options, ProgressBlock progressBlock)
{
    return downloadImageAsync(url, withProgress(LumenParsedOptionsInfo(options), std::move(progressBlock)));
}

} // namespace Lumen
