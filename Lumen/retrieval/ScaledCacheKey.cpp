#include "Lumen/retrieval/ScaledCacheKey.h"

#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/foundation/processors/ProcessorIdentifierText.h"
#include "Lumen/foundation/processors/ProcessorScale.h"

#include <utility>

namespace Lumen {

namespace {

// Does what the wrapped processor does; only the identifier the cache sees differs.
class ScaleKeyedProcessor final : public ImageProcessor {
public:
    ScaleKeyedProcessor(std::shared_ptr<const ImageProcessor> processor, QString identifier)
        : m_processor(std::move(processor)), m_identifier(std::move(identifier)) {}

    QString identifier() const override { return m_identifier; }
    ImagePtr process(const ImageProcessItem& item, const LumenParsedOptionsInfo& options) const override
    {
        return m_processor->process(item, options);
    }

private:
    const std::shared_ptr<const ImageProcessor> m_processor;
    const QString m_identifier;
};

} // namespace

QString scaledCacheIdentifier(const QString& processorIdentifier, double scaleFactor)
{
    const double scale = processorScale(scaleFactor);
    if (scale == 1.0)
        return processorIdentifier;
    return processorIdentifier + QStringLiteral("_scale(") + IdentifierText::number(scale) + QLatin1Char(')');
}

LumenParsedOptionsInfo scaledCacheOptions(LumenParsedOptionsInfo options,
                                          std::shared_ptr<const ImageProcessor> processor)
{
    if (processor)
        options.processor = std::move(processor);
    if (processorScale(options.scaleFactor) != 1.0) {
        QString identifier = scaledCacheIdentifier(options.processor->identifier(), options.scaleFactor);
        options.processor = std::make_shared<const ScaleKeyedProcessor>(options.processor, std::move(identifier));
    }
    return options;
}

CacheEntryName targetCacheEntry(const Source& source, const LumenParsedOptionsInfo& options)
{
    const auto& processor = options.processor ? options.processor : DefaultImageProcessor::shared();
    return {source.cacheKey(), scaledCacheIdentifier(processor->identifier(), options.scaleFactor),
            options.forcedExtension};
}

} // namespace Lumen
