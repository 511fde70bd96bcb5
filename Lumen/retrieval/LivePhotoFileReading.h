#pragma once

#include "Lumen/retrieval/LivePhotoError.h"

#include <QByteArray>
#include <QString>

#include <expected>
#include <limits>

namespace Lumen {

// Reads at most `maxBytes` from the start of the regular file at `path`. Anything else (a
// missing file, a folder, a pipe or device that could block or never end), and a file larger
// than `maxFileSize`, is refused as an `unreadableFile` error before any of it is read.
std::expected<QByteArray, LivePhotoError> readFileStart(const QString& path, qint64 maxBytes,
                                                        qint64 maxFileSize = std::numeric_limits<qint64>::max());

} // namespace Lumen
