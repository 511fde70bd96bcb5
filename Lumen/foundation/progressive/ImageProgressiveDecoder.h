#pragma once

#include "Lumen/download/SessionDataTask.h"
#include "Lumen/foundation/CallbackQueue.h"
#include "Lumen/foundation/DispatchBlock.h"
#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/progressive/ProgressiveScanWalker.h"

#include <QByteArray>
#include <QUrl>

#include <functional>
#include <vector>

namespace Lumen {

// Finds complete scans in the growing bytes of a progressive JPEG and turns prefixes of them
// into images, each through the processing of every caller waiting for the transfer, as the
// transfer's own data will be. Scanning state belongs to the main thread.
class ImageProgressiveDecoder {
public:
    // `options.progressiveJPEG` must be set.
    explicit ImageProgressiveDecoder(const LumenParsedOptionsInfo& options);

    // Main thread only. The lengths of the prefixes that became complete since the last call:
    // the newest one alone, or every one (see newScanPrefixes), as the setting asks.
    std::vector<qsizetype> scan(const QByteArray& data);

    // Main thread only. Decodes each prefix of `data` in order on the processing queue, through
    // an `ImageDataProcessor` over `callbacks` (the transfer's callers; `sourceURL` names the
    // transfer in processing errors). While few scans are known, all of them are blurred
    // alike when the setting asks for it: the count is the one the last scan reached, not each
    // prefix's own. Each image a caller's processing made goes to `onImage`, then `onFinished`
    // runs, all on the main thread and in that order. Prefixes that are not progressive JPEG,
    // and processing that fails, give no call to `onImage`.
    void decode(const QByteArray& data, std::vector<qsizetype> prefixLengths,
                std::vector<SessionDataTask::TaskCallback> callbacks, QUrl sourceURL,
                std::function<void(const ImagePtr&)> onImage, DispatchBlock onFinished) const;

    // The radius previews are blurred with while `scanCount` scans are known.
    static double previewBlurRadius(int scanCount);
    // Previews are blurred only up to this many known scans.
    static constexpr int lastBlurredScanCount = 5;

private:
    const bool m_isBlur;
    const bool m_isFastestScan;
    const CallbackQueue m_processingQueue;
    // How a preview is decoded before it is blurred.
    const ImageCreatingOptions m_creatingOptions;
    ScanProgress m_progress;
};

} // namespace Lumen
