#pragma once

#include "Lumen/foundation/UnderlyingError.h"

#include <QByteArray>
#include <QString>

#include <expected>

namespace Lumen {

// The largest file a data provider reads: the downloader's default body limit, so a local
// file never gets more room than a download.
inline constexpr qint64 providedFileSizeLimit = qint64(256) * 1024 * 1024;

// An error of the file system's "POSIX" domain with the system's error number as code.
UnderlyingError fileError(int code, QString message);

// Fails unless `path` names a regular file (or a link to one) that exists.
std::expected<void, UnderlyingError> requireRegularFile(const QString& path);

// The whole content of the regular file at `path`. A folder, FIFO, socket or device fails at
// once (nothing that could block or never end is read), and so does a file larger than
// `sizeLimit`, before any of it is read. Errors are in the "POSIX" domain with the system's
// error number.
std::expected<QByteArray, UnderlyingError> readRegularFile(const QString& path, qint64 sizeLimit);

} // namespace Lumen
