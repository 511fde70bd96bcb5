#include "Lumen/foundation/imaging/ImageDecoding.h"

#include "Lumen/foundation/imaging/AnimatedImageDecoding.h"
#include "Lumen/foundation/imaging/BitmapLimits.h"
#include "Lumen/foundation/imaging/ImageFormat.h"
#include "Lumen/foundation/imaging/ThumbnailSize.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <cmath>

namespace Lumen {

namespace {

// Qt's plugin for a format told from the signature; none lets Qt probe every plugin.
QByteArray readerFormat(const QByteArray& data)
{
    switch (imageFormat(data)) {
    case ImageFormat::PNG:
        return QByteArrayLiteral("png");
    case ImageFormat::JPEG:
        return QByteArrayLiteral("jpeg");
    case ImageFormat::GIF:
        return QByteArrayLiteral("gif");
    case ImageFormat::unknown:
        break;
    }
    return QByteArray();
}

// A reader over bytes in memory; owns the device the reader reads from.
class DataImageReader {
public:
    explicit DataImageReader(const QByteArray& data)
        : m_data(data)
        , m_buffer(&m_data)
    {
        BitmapLimits::applyToImageReaders();
        m_buffer.open(QIODevice::ReadOnly);
        m_reader.setDevice(&m_buffer);
        // A known signature picks the plugin directly instead of loading and asking them all.
        m_reader.setFormat(readerFormat(data));
        m_reader.setAutoTransform(true);
    }

    QImageReader& reader() { return m_reader; }

private:
    QByteArray m_data;
    QBuffer m_buffer;
    QImageReader m_reader;
};

} // namespace

ImagePtr imageFromData(const QByteArray& data, const ImageCreatingOptions& options)
{
    if (imageFormat(data) == ImageFormat::GIF)
        return animatedImage(data, options);
    return stillImage(data);
}

ImagePtr stillImage(const QByteArray& data)
{
    DataImageReader source(data);
    QImageReader& reader = source.reader();
    const QSize size = reader.size();
    if (size.isValid() && !BitmapLimits::allows(size))
        return nullptr;

    QImage bitmap = reader.read();
    if (bitmap.isNull())
        return nullptr;
    return Image::make(std::move(bitmap));
}

ImagePtr downsampledImage(const QByteArray& data, QSizeF pointSize, double scale)
{
    const double maxPixels = std::max(pointSize.width(), pointSize.height()) * scale;
    if (!std::isfinite(maxPixels) || maxPixels < 1.0)
        return nullptr;

    DataImageReader source(data);
    QImageReader& reader = source.reader();
    const QSize size = reader.size();
    if (size.isValid()) {
        const auto target = thumbnailPixelSize(size, QSizeF(maxPixels, maxPixels));
        if (!target || !BitmapLimits::allows(*target))
            return nullptr;
        if (*target != size)
            reader.setScaledSize(*target);
    }

    QImage bitmap = reader.read();
    if (bitmap.isNull())
        return nullptr;
    // Formats that state no size up front are bounded after decoding.
    if (const auto bounded = thumbnailPixelSize(bitmap.size(), QSizeF(maxPixels, maxPixels));
        bounded && *bounded != bitmap.size())
        bitmap = bitmap.scaled(*bounded, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return Image::make(std::move(bitmap));
}

} // namespace Lumen
