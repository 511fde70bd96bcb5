#include "Lumen/foundation/progressive/ProgressiveScanWalker.h"

#include "Lumen/foundation/imaging/ImageFormat.h"

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
    for (qsizetype i = progress.scannedIndex + 1; i < length - 1; ++i) {
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

} // namespace

ScanWalk latestScanPrefix(const QByteArray& data, ScanProgress progress)
{
    if (!isProgressiveJPEG(data))
        return {{}, progress};

    qsizetype lastMarker = 0;
    const ScanProgress walked = walk(data, progress, [&](qsizetype position, int) { lastMarker = position; });
    if (walked.scannedCount <= progress.scannedCount || walked.scannedCount < 2 || lastMarker < 1)
        return {{}, walked};
    return {{ScanPrefix{lastMarker, walked.scannedCount}}, walked};
}

ScanWalk newScanPrefixes(const QByteArray& data, ScanProgress progress)
{
    if (!isProgressiveJPEG(data))
        return {{}, progress};

    std::vector<ScanPrefix> prefixes;
    const ScanProgress walked = walk(data, progress, [&](qsizetype position, int countBefore) {
        if (countBefore >= 1)
            prefixes.push_back(ScanPrefix{position, countBefore + 1});
    });
    if (walked.scannedCount <= progress.scannedCount || walked.scannedCount < 2)
        return {{}, walked};
    return {std::move(prefixes), walked};
}

} // namespace Lumen
