#pragma once

#include <QFuture>

#include <memory>
#include <optional>
#include <utility>

namespace Lumen {

namespace FutureAnswerDetail {

// An optional result is its own answer: "no answer" and "answered nothing" read the same.
template <typename T>
struct AnswerOf {
    using type = std::optional<T>;
};
template <typename T>
struct AnswerOf<std::optional<T>> {
    using type = std::optional<T>;
};

} // namespace FutureAnswerDetail

template <typename T>
using FutureAnswer = typename FutureAnswerDetail::AnswerOf<T>::type;

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
                  if (finished.resultCount() > 0)
                      (*shared)(FutureAnswer<T>(finished.result()));
                  else
                      (*shared)(FutureAnswer<T>(std::nullopt));
              })
        .onCanceled([shared] { (*shared)(FutureAnswer<T>(std::nullopt)); });
}

} // namespace Lumen
