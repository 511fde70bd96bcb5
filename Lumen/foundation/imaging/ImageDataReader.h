#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

namespace Lumen {

// A Qt image reader over bytes in memory that uses the plugin of one named format only: Qt
// never offers the bytes to its other plugins (SVG, ICNS...), whose memory and time no limit of
// ours bounds. Bitmaps are capped by BitmapLimits; EXIF orientation is applied.
// May be used and dropped on any thread (one at a time).
class ImageDataReader {
public:
    // `format` is Qt's plugin key, such as "png".
    ImageDataReader(const QByteArray& data, const QByteArray& format);

    ImageDataReader(const ImageDataReader&) = delete;
    ImageDataReader& operator=(const ImageDataReader&) = delete;

    QImageReader& reader() { return m_reader; }

private:
    QByteArray m_data;
    QBuffer m_buffer;
    QImageReader m_reader;
};

} // namespace Lumen
