#pragma once

#include <QByteArray>

#include <cstddef>
#include <vector>

namespace Lumen {

// How far the scans of a growing progressive JPEG have been examined. Both values only grow,
// so each byte is examined once.
struct ScanProgress {
    // Start-of-scan markers (FF DA) found so far.
    int scannedCount = 0;
    // The last byte position examined; -1 before the first walk. A walk resuming from a lower
    // value starts at the first byte.
    qsizetype scannedIndex = -1;

    bool operator==(const ScanProgress&) const = default;
};

// What a walk found, and the progress to hand to the next walk.
struct ScanWalk {
    // Lengths of the prefixes to decode, shortest first. Each ends where a scan begins, so
    // every scan inside it is complete.
    std::vector<qsizetype> prefixLengths;
    ScanProgress progress;
};

// Decoding a prefix costs time in proportion to its length, so a file packed with hundreds of
// tiny scans would cost seconds per update if each were decoded.
inline constexpr std::size_t maxPrefixesPerWalk = 10;

// The newest prefix only (at most one): the data up to the last marker found in the bytes not
// examined before. Nothing when the data is not a progressive JPEG (no SOF2 marker), no new
// marker was found, or fewer than two markers are known.
ScanWalk latestScanPrefix(const QByteArray& data, ScanProgress progress);

// Every prefix ending at a marker found in the bytes not examined before (except a first
// marker, which ends no scan), oldest first; none when fewer than two markers are known.
// Beyond `maxPrefixesPerWalk` prefixes, that many spread evenly over them, the newest always
// among them.
ScanWalk newScanPrefixes(const QByteArray& data, ScanProgress progress);

} // namespace Lumen
