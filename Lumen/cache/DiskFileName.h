#pragma once

#include "Lumen/cache/DiskStorageConfig.h"

#include <QString>

#include <optional>

namespace Lumen {

// The name of the file that holds `key`: the key's SHA-256 in hexadecimal (or, without
// hashing, the key itself), then "." and the forced extension, else the configured one,
// else, when asked for, the key's own extension. Absent when the result could not name a
// file directly inside the cache directory (empty, "." or "..", or holding "/" or NUL); an
// automatic extension with "/" in it is dropped instead.
std::optional<QString> diskCacheFileName(const QString& key, const std::optional<QString>& forcedExtension,
                                         const DiskStorageConfig& config);

} // namespace Lumen
