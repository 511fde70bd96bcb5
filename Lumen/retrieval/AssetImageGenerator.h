#pragma once

#include "Lumen/foundation/UnderlyingError.h"
#include "Lumen/retrieval/MediaTime.h"

#include <QImage>
#include <QUrl>

#include <functional>
#include <optional>

namespace Lumen {

// Makes still images of a movie, one requested time at a time.
class AssetImageGenerator {
public:
    enum class Result { succeeded, failed, cancelled };

    // What one request produced. A failure carries an error; a cancelled request may too.
    struct Answer {
        QImage image;
        Result result = Result::failed;
        std::optional<UnderlyingError> error;
    };
    using Completion = std::function<void(Answer)>;

    virtual ~AssetImageGenerator() = default;

    // The URL of a movie read from a URL; none for a movie that has no URL.
    virtual std::optional<QUrl> assetURL() const = 0;
    // Makes the image shown at `time` and calls `completion` once, on a thread of the
    // generator's own, after returning.
    virtual void generateImage(MediaTime time, Completion completion) = 0;
};

} // namespace Lumen
