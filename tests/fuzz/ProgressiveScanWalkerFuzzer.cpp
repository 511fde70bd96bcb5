// The scan walk of a progressive JPEG arriving in pieces: the data grows in steps taken from
// the input's last byte, and the progress of each walk is handed to the next.
#include "Lumen/foundation/progressive/ProgressiveScanWalker.h"
#include "tests/fuzz/FuzzInput.h"

using namespace Tivrand::Fuzzing;

namespace {

void requireSound(const Lumen::ScanWalk& walk, const Lumen::ScanProgress& before, qsizetype available)
{
    require(walk.progress.scannedCount >= before.scannedCount);
    require(walk.progress.scannedIndex >= before.scannedIndex && walk.progress.scannedIndex < available);
    require(walk.prefixLengths.size() <= Lumen::maxPrefixesPerWalk);
    qsizetype previous = 0;
    for (const qsizetype length : walk.prefixLengths) {
        require(length > previous && length <= available);
        previous = length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray all = inputBytes(data, size);
    const qsizetype step = 1 + data[size - 1] % 64;

    Lumen::ScanProgress latestProgress;
    Lumen::ScanProgress everyProgress;
    for (qsizetype length = std::min(step, all.size());; length = std::min(length + step, all.size())) {
        const QByteArray arrived = all.left(length);
        const Lumen::ScanWalk latest = Lumen::latestScanPrefix(arrived, latestProgress);
        requireSound(latest, latestProgress, arrived.size());
        require(latest.prefixLengths.size() <= 1);
        latestProgress = latest.progress;

        const Lumen::ScanWalk every = Lumen::newScanPrefixes(arrived, everyProgress);
        requireSound(every, everyProgress, arrived.size());
        everyProgress = every.progress;
        if (length == all.size())
            break;
    }
    return 0;
}
