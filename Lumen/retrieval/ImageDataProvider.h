#pragma once

#include "Lumen/foundation/UnderlyingError.h"

#include <QByteArray>
#include <QString>

#include <expected>
#include <functional>

namespace Lumen {

// A source of image bytes that the library does not download itself.
class ImageDataProvider {
public:
    using DataHandler = std::function<void(std::expected<QByteArray, UnderlyingError>)>;

    virtual ~ImageDataProvider() = default;

    // The key under which the image made from this provider's bytes is cached.
    virtual QString cacheKey() const = 0;
    // Produces the bytes and calls `handler` exactly once, possibly later and on another
    // thread, with the bytes or the provider's own error.
    virtual void data(DataHandler handler) const = 0;
};

} // namespace Lumen
