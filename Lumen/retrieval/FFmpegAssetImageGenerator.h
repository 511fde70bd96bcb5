#pragma once

#include "Lumen/retrieval/AssetImageGenerator.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace Lumen {

class DispatchQueue;

// Still images of a local movie file, decoded with FFmpeg one requested time at a time (see
// `decodeVideoFrame`). Requests run in order on the generator's queue, which also calls the
// completions.
class FFmpegAssetImageGenerator final : public AssetImageGenerator {
public:
    // Without a queue the generator makes a serial one of its own.
    explicit FFmpegAssetImageGenerator(QUrl assetURL, std::shared_ptr<DispatchQueue> queue = nullptr);

    // Whether images are turned upright by the movie's rotation metadata; off by default.
    bool appliesPreferredTrackTransform() const { return m_appliesPreferredTrackTransform; }
    void setAppliesPreferredTrackTransform(bool applies) { m_appliesPreferredTrackTransform = applies; }

    // Every request made so far that has not produced its image completes as cancelled,
    // without an error.
    void cancelAllImageGeneration();

    std::optional<QUrl> assetURL() const override { return m_assetURL; }
    void generateImage(MediaTime time, Completion completion) override;

private:
    QUrl m_assetURL;
    std::shared_ptr<DispatchQueue> m_queue;
    std::atomic<bool> m_appliesPreferredTrackTransform{false};
    // How often cancelling was asked for; a request is cancelled once this moves past what
    // it saw when it was made. Shared with queued requests, which may outlive the generator.
    std::shared_ptr<std::atomic<std::uint64_t>> m_cancellations;
};

} // namespace Lumen
