#pragma once

#include "Lumen/cache/CacheType.h"
#include "Lumen/download/LivePhotoResourceDownloadingResult.h"
#include "Lumen/retrieval/LivePhotoSource.h"

#include <QByteArray>
#include <QUrl>

#include <vector>

namespace Lumen {

// The files of a live photo, all in the disk cache.
struct LivePhotoLoadingInfoResult {
    // The cache file of each resource, in the order of `source.resources`.
    std::vector<QUrl> fileURLs;
    // `disk` when no file had to be fetched, else `none`.
    CacheType cacheType = CacheType::none;
    LivePhotoSource source;
    // The same source: live photos have no alternatives.
    LivePhotoSource originalSource;
    // What each fetch gave, in the order the fetches finished.
    std::vector<LivePhotoResourceDownloadingResult> downloaded;

    // The bytes of each fetched file, in the order the fetches finished.
    std::vector<QByteArray> data() const
    {
        std::vector<QByteArray> bytes;
        bytes.reserve(downloaded.size());
        for (const auto& file : downloaded)
            bytes.push_back(file.originalData);
        return bytes;
    }
};

} // namespace Lumen
