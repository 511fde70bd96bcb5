#include "Lumen/retrieval/AVAssetImageDataProvider.h"

#include "Lumen/foundation/imaging/ImageEncoding.h"
#include "Lumen/foundation/processors/ProcessorIdentifierText.h"
#include "Lumen/retrieval/FFmpegAssetImageGenerator.h"
#include "Lumen/retrieval/ProviderError.h"
#include "Lumen/retrieval/URLKeys.h"

#include <QUuid>

namespace Lumen {

namespace {

using Error = AVAssetImageDataProviderError;

// Qt's own default JPEG quality.
constexpr double defaultJPEGQuality = 0.75;

QString assetKey(const AssetImageGenerator* generator)
{
    const auto url = generator ? generator->assetURL() : std::nullopt;
    if (!url)
        return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    return url->isLocalFile() ? localFileCacheKey(*url) : absoluteString(*url);
}

std::shared_ptr<AssetImageGenerator> uprightGenerator(QUrl assetURL)
{
    auto generator = std::make_shared<FFmpegAssetImageGenerator>(std::move(assetURL));
    generator->setAppliesPreferredTrackTransform(true);
    return generator;
}

ImageDataProvider::Result frameData(AssetImageGenerator::Answer answer)
{
    if (answer.error)
        return std::unexpected(std::move(*answer.error));
    if (answer.result == AssetImageGenerator::Result::cancelled)
        return std::unexpected(toUnderlyingError(Error::userCancelled));
    if (answer.image.isNull())
        return std::unexpected(toUnderlyingError(Error::invalidImage));
    if (auto jpeg = jpegRepresentation(Image::make(answer.image), defaultJPEGQuality))
        return std::move(*jpeg);
    return std::unexpected(toUnderlyingError(Error::invalidImage, std::move(answer.image)));
}

} // namespace

UnderlyingError toUnderlyingError(AVAssetImageDataProviderError error, std::optional<QImage> image)
{
    const bool cancelled = error == Error::userCancelled;
    UnderlyingError underlying = libraryError(QLatin1StringView("AVAssetImageDataProviderError"),
                                              static_cast<qint64>(error),
                                              cancelled ? QStringLiteral("The frame request was cancelled")
                                                        : QStringLiteral("No frame image came that encodes as JPEG"));
    if (image)
        return underlying.carrying(std::move(*image));
    return underlying;
}

AVAssetImageDataProvider::AVAssetImageDataProvider(std::shared_ptr<AssetImageGenerator> assetImageGenerator,
                                                   MediaTime time)
    : m_assetImageGenerator(std::move(assetImageGenerator))
    , m_time(time)
{
}

AVAssetImageDataProvider::AVAssetImageDataProvider(QUrl assetURL, MediaTime time)
    : AVAssetImageDataProvider(uprightGenerator(std::move(assetURL)), time)
{
}

AVAssetImageDataProvider::AVAssetImageDataProvider(QUrl assetURL, double seconds)
    : AVAssetImageDataProvider(std::move(assetURL), MediaTime::fromSeconds(seconds))
{
}

QString AVAssetImageDataProvider::cacheKey() const
{
    return assetKey(m_assetImageGenerator.get()) + QLatin1Char('_') + IdentifierText::number(m_time.seconds());
}

void AVAssetImageDataProvider::data(DataHandler handler) const
{
    if (!m_assetImageGenerator)
        return handler(std::unexpected(toUnderlyingError(Error::invalidImage)));
    m_assetImageGenerator->generateImage(
        m_time, [handler = std::move(handler)](AssetImageGenerator::Answer answer) { handler(frameData(std::move(answer))); });
}

} // namespace Lumen
