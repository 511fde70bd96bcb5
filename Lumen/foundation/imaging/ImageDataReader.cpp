#include "Lumen/foundation/imaging/ImageDataReader.h"

#include "Lumen/foundation/imaging/BitmapLimits.h"

namespace Lumen {

namespace {

// Qt's plugin key for a format; none for `unknown`, which then reads nothing.
QByteArray pluginName(ImageFormat format)
{
    switch (format) {
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

} // namespace

ImageDataReader::ImageDataReader(const QByteArray& data, ImageFormat format)
    : m_data(data)
    , m_buffer(&m_data)
{
    BitmapLimits::applyToImageReaders();
    // The buffer belongs to no thread: it never handles events, and whichever thread holds
    // the reader may drop it.
    m_buffer.moveToThread(nullptr);
    m_buffer.open(QIODevice::ReadOnly);
    m_reader.setDevice(&m_buffer);
    m_reader.setFormat(pluginName(format));
    m_reader.setAutoDetectImageFormat(false);
    m_reader.setAutoTransform(true);
}

} // namespace Lumen
