#pragma once

#include <QFuture>

#include <memory>
#include <optional>
#include <utility>

namespace Lumen {

// Calls `handler` exactly once with the future's result, or with nothing when the future is
// cancelled (its promise given up) or ends without a result. It runs on the thread that
// finishes the future, or at once when the future has finished already.
template <typename T, typename Handler>
void whenAnswered(QFuture<T> future, Handler handler)
{
    const auto shared = std::make_shared<Handler>(std::move(handler));
    future
        .then(QtFuture::Launch::Sync,
              [shared](QFuture<T> finished) {
                  (*shared)(finished.resultCount() > 0 ? std::optional<T>(finished.result()) : std::nullopt);
              })
        .onCanceled([shared] { (*shared)(std::nullopt); });
}

} // namespace Lumen
