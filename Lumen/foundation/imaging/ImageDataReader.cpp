#include "Lumen/foundation/imaging/ImageDataReader.h"

#include "Lumen/foundation/imaging/BitmapLimits.h"

namespace Lumen {

ImageDataReader::ImageDataReader(const QByteArray& data, const QByteArray& format)
    : m_data(data)
    , m_buffer(&m_data)
{
    BitmapLimits::applyToImageReaders();
    // The buffer belongs to no thread: it never handles events, and whichever thread holds
    // the reader may drop it.
    m_buffer.moveToThread(nullptr);
    m_buffer.open(QIODevice::ReadOnly);
    m_reader.setDevice(&m_buffer);
    m_reader.setFormat(format);
    m_reader.setAutoDetectImageFormat(false);
    m_reader.setAutoTransform(true);
}

} // namespace Lumen
