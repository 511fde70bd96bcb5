#pragma once

#include "Lumen/retrieval/LivePhotoError.h"

#include <QByteArray>
#include <QString>

#include <expected>

namespace Lumen {

// The first bytes of a file and the file's whole size.
struct FileStart {
    QByteArray bytes;
    qint64 fileSize = 0;
};

// Reads at most `maxBytes` from the start of the regular file at `path`. Anything else (a
// missing file, a folder, a pipe or device that could block or never end) is refused as an
// `unreadableFile` error.
std::expected<FileStart, LivePhotoError> readFileStart(const QString& path, qint64 maxBytes);

} // namespace Lumen
