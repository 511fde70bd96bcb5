#pragma once

#include "Lumen/foundation/UnderlyingError.h"

#include <QByteArray>
#include <QFuture>
#include <QString>
#include <QUrl>

#include <expected>
#include <functional>
#include <optional>

namespace Lumen {

// A source of image bytes that the library does not download itself. Providers are held as
// `std::shared_ptr<const ImageDataProvider>` (see `Source::provider`); once shared they are not
// changed, so any thread may use them.
class ImageDataProvider {
public:
    using Result = std::expected<QByteArray, UnderlyingError>;
    using DataHandler = std::function<void(Result)>;

    virtual ~ImageDataProvider() = default;

    // The key under which the image made from this provider's bytes is cached.
    virtual QString cacheKey() const = 0;
    // Produces the bytes and calls `handler` exactly once, possibly later and on another
    // thread, with the bytes or the provider's own error. Each provider states its thread.
    virtual void data(DataHandler handler) const = 0;
    // The URL naming the content, for providers that have one.
    virtual std::optional<QUrl> contentURL() const { return std::nullopt; }

    // `data`, passing on the first answer only: a provider that answers again is not
    // believed twice.
    void firstAnswer(DataHandler handler) const;
    // `data` as a future that finishes with the first answer.
    QFuture<Result> dataAsync() const;
};

} // namespace Lumen
