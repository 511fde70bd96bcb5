#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <expected>

namespace Lumen {

// Decodes the primary image of HEIF `data` (rotation, mirroring and cropping applied) into the
// working format. libheif's own size limit is set, and an image beyond BitmapLimits is refused
// from its header before any pixel memory exists. The error is libheif's message. Safe on any
// thread.
std::expected<QImage, QString> decodeHeifStill(const QByteArray& data);

} // namespace Lumen
