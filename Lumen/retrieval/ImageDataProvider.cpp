#include "Lumen/retrieval/ImageDataProvider.h"

#include <QPromise>

#include <memory>

namespace Lumen {

QFuture<ImageDataProvider::Result> ImageDataProvider::dataAsync() const
{
    // Shared, because the handler must be copyable and may outlive this call.
    const auto promise = std::make_shared<QPromise<Result>>();
    promise->start();
    data([promise](Result result) {
        promise->addResult(std::move(result));
        promise->finish();
    });
    return promise->future();
}

} // namespace Lumen
