#pragma once

#include <QByteArray>
#include <QUrl>

#include <optional>

namespace Lumen {

// The bytes of one file of a live photo, as received.
struct LivePhotoResourceDownloadingResult {
    // Where the bytes came from; a data provider's content URL, which it may not have.
    std::optional<QUrl> url;
    QByteArray originalData;
};

} // namespace Lumen
