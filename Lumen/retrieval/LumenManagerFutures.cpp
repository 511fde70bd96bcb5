// The manager's future forms: each starts the retrieval from the shared concurrent queue and
// fulfils its future where the result arrives.
#include "Lumen/retrieval/LumenManager.h"

#include "Lumen/download/DownloadFuture.h"
#include "Lumen/download/FutureCancellation.h"
#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/foundation/OncePromise.h"
#include "Lumen/retrieval/LivePhotoDownloadGroup.h"
#include "Lumen/retrieval/Resource.h"
#include "Lumen/retrieval/RetrievalControl.h"

namespace Lumen {

QFuture<LumenManager::RetrieveResult> LumenManager::retrieveImageAsync(const Resource& resource,
                                                                       const std::optional<LumenOptionsInfo>& options,
                                                                       ProgressBlock progressBlock)
{
    return retrieveImageAsync(resource.convertToSource(), options, std::move(progressBlock));
}

QFuture<LumenManager::RetrieveResult> LumenManager::retrieveImageAsync(const Source& source,
                                                                       const std::optional<LumenOptionsInfo>& options,
                                                                       ProgressBlock progressBlock)
{
    return retrieveImageAsync(source, mergedOptions(options), std::move(progressBlock));
}

QFuture<LumenManager::RetrieveResult> LumenManager::retrieveImageAsync(const Source& source,
                                                                       LumenParsedOptionsInfo options,
                                                                       ProgressBlock progressBlock)
{
    return retrieveImageAsync(source, withProgress(std::move(options), std::move(progressBlock)), {}, {});
}

QFuture<LumenManager::RetrieveResult> LumenManager::retrieveImageAsync(
    const Source& source, LumenParsedOptionsInfo options, ProgressiveImageSetter progressiveImageSetter,
    ReferenceTaskIdentifierChecker referenceTaskIdentifierChecker)
{
    const OncePromise<RetrieveResult> promise;
    QFuture<RetrieveResult> future = promise.future();
    const auto control = std::make_shared<RetrievalControl>();
    // The future ends at once; the retrieval stops at its next step, and its answer, which may
    // race the cancel, is dropped.
    whenCancelled(QFuture<void>(future), [control, promise] {
        control->cancel();
        promise.finishWithoutResult();
    });

    // A waiter may block the main thread; the result must not need it.
    options.callbackQueue = CallbackQueue::untouch();
    DispatchQueue::global()->async([self = shared_from_this(), source, options = std::move(options),
                                    progressiveImageSetter = std::move(progressiveImageSetter),
                                    referenceTaskIdentifierChecker = std::move(referenceTaskIdentifierChecker),
                                    promise, control]() mutable {
        self->startRetrieval(source, std::move(options), {}, std::move(progressiveImageSetter),
                             std::move(referenceTaskIdentifierChecker),
                             [promise](RetrieveResult result) { promise.finish(std::move(result)); }, control);
    });
    return future;
}

QFuture<LumenManager::LivePhotoResult> LumenManager::retrieveLivePhotoAsync(
    const LivePhotoSource& source, const std::optional<LumenOptionsInfo>& options,
    ReferenceTaskIdentifierChecker referenceTaskIdentifierChecker)
{
    LumenOptionsInfo items = options.value_or(LumenOptionsInfo());
    // A waiter may block the main thread; the result must not need it.
    items.push_back(Option::CallbackQueue{CallbackQueue::untouch()});
    return downloadFuture<LivePhotoResult, LivePhotoDownloadGroup>(
        [self = shared_from_this(), source, items = std::move(items),
         referenceTaskIdentifierChecker = std::move(referenceTaskIdentifierChecker)](auto completionHandler) {
            return self->retrieveLivePhoto(source, items, referenceTaskIdentifierChecker, std::move(completionHandler));
        });
}

} // namespace Lumen
