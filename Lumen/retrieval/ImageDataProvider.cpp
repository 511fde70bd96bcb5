#include "Lumen/retrieval/ImageDataProvider.h"

#include <QPromise>

#include <atomic>
#include <memory>
#include <utility>

namespace Lumen {

void ImageDataProvider::firstAnswer(DataHandler handler) const
{
    data([answered = std::make_shared<std::atomic<bool>>(false), handler = std::move(handler)](Result result) {
        if (!answered->exchange(true))
            handler(std::move(result));
    });
}

QFuture<ImageDataProvider::Result> ImageDataProvider::dataAsync() const
{
    // Shared, because the handler must be copyable and may outlive this call.
    const auto promise = std::make_shared<QPromise<Result>>();
    promise->start();
    firstAnswer([promise](Result result) {
        promise->addResult(std::move(result));
        promise->finish();
    });
    return promise->future();
}

} // namespace Lumen
