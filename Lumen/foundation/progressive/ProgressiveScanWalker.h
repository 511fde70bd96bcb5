#pragma once

#include <QByteArray>

#include <vector>

namespace Lumen {

// How far the scans of a growing progressive JPEG have been examined. Both values only grow,
// so each byte is examined once.
struct ScanProgress {
    // Start-of-scan markers (FF DA) found so far.
    int scannedCount = 0;
    // The last byte position examined; -1 before the first walk.
    qsizetype scannedIndex = -1;

    bool operator==(const ScanProgress&) const = default;
};

// A prefix of the data that ends where a scan begins, so every scan inside it is complete.
struct ScanPrefix {
    // The prefix's length: the position of the start-of-scan marker that ends it.
    qsizetype length = 0;
    // Scans known when this prefix was found: the markers up to and including its end marker.
    int scanCount = 0;

    bool operator==(const ScanPrefix&) const = default;
};

// What a walk found, and the progress to hand to the next walk.
struct ScanWalk {
    std::vector<ScanPrefix> prefixes;
    ScanProgress progress;
};

// The newest prefix only (at most one): the data up to the last marker found in the bytes not
// examined before. Nothing when the data is not a progressive JPEG (no SOF2 marker), no new
// marker was found, or fewer than two markers are known.
ScanWalk latestScanPrefix(const QByteArray& data, ScanProgress progress);

// Every prefix ending at a marker found in the bytes not examined before (except a first
// marker, which ends no scan), oldest first; none when fewer than two markers are known.
ScanWalk newScanPrefixes(const QByteArray& data, ScanProgress progress);

} // namespace Lumen
