#include "Lumen/retrieval/ThumbnailImageDataProvider.h"

#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/foundation/LumenError.h"
#include "Lumen/foundation/imaging/ImageDecoding.h"
#include "Lumen/foundation/processors/ProcessorIdentifierText.h"
#include "Lumen/retrieval/ProviderError.h"
#include "Lumen/retrieval/RegularFileReading.h"
#include "Lumen/retrieval/URLKeys.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>

namespace Lumen {

namespace {

using Error = ThumbnailImageDataProviderError;

std::unexpected<UnderlyingError> failure(Error error)
{
    return std::unexpected(toUnderlyingError(error));
}

// The source's own format where Qt can write it; PNG otherwise (GIF, or no format told).
QByteArray outputFormat(const QByteArray& sourceBytes)
{
    QByteArray bytes = sourceBytes;
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&device);
    return QImageWriter::supportedImageFormats().contains(format) ? format : QByteArrayLiteral("png");
}

ImageDataProvider::Result encoded(const QImage& thumbnail, const QByteArray& format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.canWrite())
        return failure(Error::writeDataError);
    if (!writer.write(thumbnail))
        return failure(Error::finalizeDataError);
    return bytes;
}

ImageDataProvider::Result thumbnailData(const QUrl& url, double maxPixelSize)
{
    const QUrl reparsed(absoluteString(url), QUrl::StrictMode);
    if (!reparsed.isValid() || reparsed.isEmpty())
        return std::unexpected(UnderlyingError::wrapping(LumenError::ImageSettingErrorReason::EmptySource{}));
    if (!reparsed.isLocalFile())
        return failure(Error::invalidImageSource);
    const auto content = readRegularFile(reparsed.toLocalFile(), providedFileSizeLimit);
    if (!content)
        return failure(Error::invalidImageSource);
    const ImagePtr thumbnail = downsampledImage(*content, QSizeF(maxPixelSize, maxPixelSize), 1.0);
    if (!thumbnail)
        return failure(Error::invalidThumbnail);
    return encoded(thumbnail->bitmap(), outputFormat(*content));
}

QString messageOf(Error error)
{
    switch (error) {
    case Error::invalidImageSource:
        return QStringLiteral("The image file cannot be read");
    case Error::invalidThumbnail:
        return QStringLiteral("No thumbnail can be made from the image file");
    case Error::writeDataError:
        return QStringLiteral("There is no encoder for the thumbnail");
    case Error::finalizeDataError:
        return QStringLiteral("Encoding the thumbnail failed");
    }
    return {};
}

} // namespace

UnderlyingError toUnderlyingError(ThumbnailImageDataProviderError error)
{
    return libraryError(QLatin1StringView("ThumbnailImageDataProviderError"), static_cast<qint64>(error),
                        messageOf(error));
}

ThumbnailImageDataProvider::ThumbnailImageDataProvider(QUrl url, double maxPixelSize, bool alwaysCreateThumbnail,
                                                       std::optional<QString> cacheKey)
    : m_url(std::move(url))
    , m_maxPixelSize(maxPixelSize)
    , m_alwaysCreateThumbnail(alwaysCreateThumbnail)
    , m_cacheKey(cacheKey ? std::move(*cacheKey)
                          : absoluteString(m_url) + QStringLiteral("_thumb_") + IdentifierText::number(maxPixelSize)
                                + QLatin1Char('_')
                                + (alwaysCreateThumbnail ? QStringLiteral("true") : QStringLiteral("false")))
{
}

void ThumbnailImageDataProvider::data(DataHandler handler) const
{
    DispatchQueue::global()->async(
        [url = m_url, maxPixelSize = m_maxPixelSize, handler = std::move(handler)] {
            handler(thumbnailData(url, maxPixelSize));
        });
}

} // namespace Lumen
