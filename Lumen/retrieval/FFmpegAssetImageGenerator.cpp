#include "Lumen/retrieval/FFmpegAssetImageGenerator.h"

#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/retrieval/VideoFrameDecoding.h"

namespace Lumen {

FFmpegAssetImageGenerator::FFmpegAssetImageGenerator(QUrl assetURL, std::shared_ptr<DispatchQueue> queue)
    : m_assetURL(std::move(assetURL))
    , m_queue(queue ? std::move(queue)
                    : DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.FFmpegAssetImageGenerator")))
    , m_cancellations(std::make_shared<std::atomic<std::uint64_t>>(0))
{
}

void FFmpegAssetImageGenerator::cancelAllImageGeneration()
{
    m_cancellations->fetch_add(1);
}

void FFmpegAssetImageGenerator::generateImage(MediaTime time, Completion completion)
{
    m_queue->async([url = m_assetURL, time, applies = m_appliesPreferredTrackTransform.load(),
                    cancellations = m_cancellations, seen = m_cancellations->load(),
                    completion = std::move(completion)] {
        const auto isCancelled = [&] { return cancellations->load() != seen; };
        if (isCancelled())
            return completion(Answer{{}, Result::cancelled, std::nullopt});
        auto image = decodeVideoFrame(url, time, applies, isCancelled);
        if (image)
            return completion(Answer{std::move(*image), Result::succeeded, std::nullopt});
        if (isCancelled())
            return completion(Answer{{}, Result::cancelled, std::nullopt});
        completion(Answer{{}, Result::failed, std::move(image.error())});
    });
}

} // namespace Lumen
