#include "Lumen/foundation/progressive/ProgressiveScanWalker.h"

#include "Lumen/foundation/imaging/ImageFormat.h"

#include <algorithm>

namespace Lumen {

namespace {

constexpr char markerPrefix = '\xFF';
constexpr char startOfScan = '\xDA';

// Walks the bytes after `progress.scannedIndex`, calling `onMarker(position, countBefore)` for
// each start-of-scan marker. The last examined position pairs with the next byte on the next
// walk, so a marker split across two chunks is still found.
template <typename OnMarker>
ScanProgress walk(const QByteArray& data, ScanProgress progress, OnMarker onMarker)
{
    const qsizetype length = data.size();
    for (qsizetype i = std::max<qsizetype>(progress.scannedIndex, -1) + 1; i < length - 1; ++i) {
        progress.scannedIndex = i;
        if (data[i] == markerPrefix && data[i + 1] == startOfScan) {
            onMarker(i, progress.scannedCount);
            ++progress.scannedCount;
        }
    }
    return progress;
}

bool isProgressiveJPEG(const QByteArray& data)
{
    return containsJPEGMarker(data, JPEGMarker::SOF2());
}

// At most `limit` of `lengths`, spread evenly, keeping the last.
std::vector<qsizetype> spreadOut(std::vector<qsizetype> lengths, std::size_t limit)
{
    const std::size_t count = lengths.size();
    if (count <= limit)
        return lengths;
    std::vector<qsizetype> kept;
    kept.reserve(limit);
    // The k-th kept one is number ceil(k * count / limit), which is `count` for k = limit.
    for (std::size_t k = 1; k <= limit; ++k)
        kept.push_back(lengths[(k * count + limit - 1) / limit - 1]);
    return kept;
}

} // namespace

ScanWalk latestScanPrefix(const QByteArray& data, ScanProgress progress)
{
    if (!isProgressiveJPEG(data))
        return {{}, progress};

    qsizetype lastMarker = 0;
    const ScanProgress walked = walk(data, progress, [&](qsizetype position, int) { lastMarker = position; });
    if (walked.scannedCount <= progress.scannedCount || walked.scannedCount < 2 || lastMarker < 1)
        return {{}, walked};
    return {{lastMarker}, walked};
}

ScanWalk newScanPrefixes(const QByteArray& data, ScanProgress progress)
{
    if (!isProgressiveJPEG(data))
        return {{}, progress};

    std::vector<qsizetype> lengths;
    const ScanProgress walked = walk(data, progress, [&](qsizetype position, int countBefore) {
        if (countBefore >= 1)
            lengths.push_back(position);
    });
    if (walked.scannedCount <= progress.scannedCount || walked.scannedCount < 2)
        return {{}, walked};
    return {spreadOut(std::move(lengths), maxPrefixesPerWalk), walked};
}

} // namespace Lumen
