#pragma once

#include "Lumen/foundation/CallbackQueue.h"
#include "Lumen/foundation/DispatchBlock.h"
#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/progressive/ProgressiveScanWalker.h"

#include <QByteArray>

#include <functional>
#include <vector>

namespace Lumen {

// Finds complete scans in the growing bytes of a progressive JPEG and turns prefixes of them
// into images with the retrieval's own processor. Scanning state belongs to the main thread.
class ImageProgressiveDecoder {
public:
    // `options.progressiveJPEG` must be set.
    explicit ImageProgressiveDecoder(const LumenParsedOptionsInfo& options);

    // Main thread only. The lengths of the prefixes that became complete since the last call:
    // the newest one alone, or every one (see newScanPrefixes), as the setting asks.
    std::vector<qsizetype> scan(const QByteArray& data);

    // Main thread only. Decodes each prefix of `data` in order on the processing queue. While
    // few scans are known, all of them are blurred alike when the setting asks for it: the
    // count is the one the last scan reached, not each prefix's own. Each image made goes to
    // `onImage`, then `onFinished` runs, all on the main thread and in that order. Prefixes
    // that are not progressive JPEG, or that the processor cannot turn into an image, give no
    // call to `onImage`.
    void decode(const QByteArray& data, std::vector<qsizetype> prefixLengths,
                std::function<void(const ImagePtr&)> onImage, DispatchBlock onFinished) const;

    // The radius previews are blurred with while `scanCount` scans are known.
    static double previewBlurRadius(int scanCount);
    // Previews are blurred only up to this many known scans.
    static constexpr int lastBlurredScanCount = 5;

private:
    const bool m_isBlur;
    const bool m_isFastestScan;
    const CallbackQueue m_processingQueue;
    // What decoding needs of the retrieval's options: its processor and decoding choices.
    LumenParsedOptionsInfo m_options;
    ScanProgress m_progress;
};

} // namespace Lumen
