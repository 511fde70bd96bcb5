#pragma once

#include "Lumen/foundation/Image.h"

#include <QByteArray>
#include <QUrl>

#include <optional>

namespace Lumen {

// One caller's finished download: its own image, and the bytes every caller of the transfer
// shared, before any processing.
struct ImageLoadingResult {
    ImagePtr image;
    // The URL of the request that fetched the data.
    std::optional<QUrl> url;
    QByteArray originalData;
};

} // namespace Lumen
