#pragma once

#include "Lumen/download/SessionDataTask.h"
#include "Lumen/foundation/CallbackQueue.h"
#include "Lumen/foundation/Delegate.h"
#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/LumenError.h"

#include <QByteArray>
#include <QUrl>

#include <expected>
#include <memory>
#include <optional>
#include <vector>

namespace Lumen {

// Makes each waiting caller's image from a transfer's bytes, off the caller's thread. Callers
// whose decoding agrees (the same processor identifier, scale factor, animation preloading
// and first-frame choice) share one image; each caller gets one result through
// `onImageProcessed`, in list order, on the processing queue.
class ImageDataProcessor : public std::enable_shared_from_this<ImageDataProcessor> {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    using Result = std::expected<ImagePtr, LumenError>;
    struct Processed {
        Result result;
        SessionDataTask::TaskCallback callback;
    };

    // Without a queue, processing runs on the process-wide concurrent queue labelled
    // "com.vantrel.Lumen.ImageDownloader.Process": transfers are processed side by side.
    // `sourceURL` is where the data was downloaded from; processing failures name it.
    static std::shared_ptr<ImageDataProcessor> make(QByteArray data, QUrl sourceURL,
                                                    std::vector<SessionDataTask::TaskCallback> callbacks,
                                                    std::optional<CallbackQueue> processingQueue = std::nullopt);
    static CallbackQueue sharedProcessingQueue();

    ImageDataProcessor(Passkey, QByteArray data, QUrl sourceURL, std::vector<SessionDataTask::TaskCallback> callbacks,
                       CallbackQueue queue);

    Delegate<Processed>& onImageProcessed() const { return *m_onImageProcessed; }

    // Hands the work to the queue; the processor keeps itself alive until it has run.
    void process();

private:
    void doProcess() const;

    const QByteArray m_data;
    const QUrl m_sourceURL;
    const std::vector<SessionDataTask::TaskCallback> m_callbacks;
    const CallbackQueue m_queue;
    const std::shared_ptr<Delegate<Processed>> m_onImageProcessed = Delegate<Processed>::make();
};

} // namespace Lumen
