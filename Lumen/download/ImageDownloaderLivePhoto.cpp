// The downloader's live-photo forms: a live photo's files are fetched through the image path
// and handed back as bytes.
#include "Lumen/download/ImageDownloader.h"

#include "Lumen/download/DownloadFuture.h"
#include "Lumen/foundation/processors/LivePhotoImageProcessor.h"

namespace Lumen {

namespace {

LumenParsedOptionsInfo withLivePhotoProcessor(LumenParsedOptionsInfo options)
{
    const auto livePhotoProcessor = std::make_shared<LivePhotoImageProcessor>();
    if (!options.processor || options.processor->identifier() != livePhotoProcessor->identifier())
        options.processor = livePhotoProcessor;
    return options;
}

} // namespace

std::shared_ptr<DownloadTask> ImageDownloader::downloadLivePhotoResource(
    const QUrl& url, const LumenParsedOptionsInfo& options,
    std::function<void(LivePhotoResourceResult)> completionHandler)
{
    return downloadImage(url, withLivePhotoProcessor(options),
                         [completionHandler = std::move(completionHandler)](CompletionResult result) {
                             if (!completionHandler)
                                 return;
                             if (!result)
                                 completionHandler(std::unexpected(std::move(result.error())));
                             else
                                 completionHandler(LivePhotoResourceDownloadingResult{
                                     .url = std::move(result->url), .originalData = std::move(result->originalData)});
                         });
}

QFuture<ImageDownloader::LivePhotoResourceResult>
ImageDownloader::downloadLivePhotoResourceAsync(const QUrl& url, LumenParsedOptionsInfo options)
{
    // A waiter may block the main thread; the result must not need it.
    options.callbackQueue = CallbackQueue::untouch();
    return downloadFuture<LivePhotoResourceResult>([self = shared_from_this(), url, options](auto completionHandler) {
        return self->downloadLivePhotoResource(url, options, std::move(completionHandler));
    });
}

} // namespace Lumen
