#pragma once

#include "tests/support/SampleImages.h"

#include <httplib.h>

// Image bytes as a test server answers them.
namespace Tivrand::Testing {

inline QByteArray pngBytes(QSize size = {8, 8}, QColor color = Qt::red)
{
    return encodedBitmap(solidBitmap(size, color), "png");
}

inline void serveBytes(httplib::Response& response, const QByteArray& bytes, const char* type = "image/png")
{
    response.set_content(bytes.toStdString(), type);
}

} // namespace Tivrand::Testing
