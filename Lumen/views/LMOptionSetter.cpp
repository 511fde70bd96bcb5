#include "Lumen/views/LMOptionSetter.h"

#include "Lumen/cache/FormatIndicatedCacheSerializer.h"
#include "Lumen/download/AnyImageModifier.h"
#include "Lumen/download/AnyModifier.h"
#include "Lumen/download/AnyRedirectHandler.h"
#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/foundation/processors/DownsamplingImageProcessor.h"
#include "Lumen/foundation/processors/GeneralProcessor.h"

namespace Lumen::LMOptionSetting {

void appendProcessor(LumenParsedOptionsInfo& options, std::shared_ptr<const ImageProcessor> processor)
{
    options.processor = append(options.processor, std::move(processor));
}

std::shared_ptr<const ImageProcessor> composed(const std::vector<std::shared_ptr<const ImageProcessor>>& processors)
{
    if (processors.empty())
        return DefaultImageProcessor::shared();
    std::shared_ptr<const ImageProcessor> chain = processors.front();
    for (auto next = processors.begin() + 1; next != processors.end(); ++next)
        chain = append(chain, *next);
    return chain;
}

void applyDownsampling(LumenParsedOptionsInfo& options, QSizeF size)
{
    auto downsampling = std::make_shared<const DownsamplingImageProcessor>(size);
    // Appending to the default processor would put "|>" in front of every identifier.
    if (!options.processor || options.processor->identifier().isEmpty())
        options.processor = std::move(downsampling);
    else
        appendProcessor(options, std::move(downsampling));
}

std::shared_ptr<const CacheSerializer> serializer(ImageFormat format, std::optional<double> jpegCompressionQuality)
{
    switch (format) {
    case ImageFormat::JPEG:
        return FormatIndicatedCacheSerializer::jpeg(jpegCompressionQuality.value_or(1.0));
    case ImageFormat::GIF:
        return FormatIndicatedCacheSerializer::gif();
    case ImageFormat::PNG:
    case ImageFormat::unknown:
        break;
    }
    return FormatIndicatedCacheSerializer::png();
}

std::shared_ptr<const AsyncImageDownloadRequestModifier> requestModifier(RequestChange change)
{
    return std::make_shared<const AnyModifier>([change = std::move(change)](const URLRequest& request) {
        URLRequest changed = request;
        if (change)
            change(changed);
        return std::optional<URLRequest>(std::move(changed));
    });
}

std::shared_ptr<const ImageDownloadRedirectHandler> redirectHandler(RedirectBlock block)
{
    return std::make_shared<const AnyRedirectHandler>(
        [block = std::move(block)](const std::shared_ptr<SessionDataTask>& task, const URLResponse& response,
                                   const URLRequest& newRequest, AnyRedirectHandler::Completion completion) {
            // A missing block follows the redirect as proposed rather than leaving the
            // transfer waiting for an answer that never comes.
            if (!block)
                return completion(newRequest);
            block(LM::RedirectPayload{task, response, newRequest, std::move(completion)});
        });
}

std::shared_ptr<const ImageModifier> imageModifier(ImageChange change)
{
    return std::make_shared<const AnyImageModifier>(
        [change = std::move(change)](const ImagePtr& image) -> std::expected<ImagePtr, QString> {
            ImagePtr changed = image;
            if (change) {
                if (auto done = change(changed); !done)
                    return std::unexpected(std::move(done.error()));
            }
            return changed;
        });
}

} // namespace Lumen::LMOptionSetting
