#pragma once

#include "Lumen/cache/DiskStorageConfig.h"

#include <QString>

#include <optional>

namespace Lumen {

// The name of the file that holds `key`: the key's SHA-256 in hexadecimal (or, without
// hashing, the key itself), then "." and the forced extension, else the configured one,
// else, when asked for, the key's own extension. Absent when the result could not name a
// file of its own directly inside the cache directory: empty, hidden (starting with "."),
// holding "/" or NUL, or not valid UTF-16. An automatic extension that would make it so is
// dropped instead.
std::optional<QString> diskCacheFileName(const QString& key, const std::optional<QString>& forcedExtension,
                                         const DiskStorageConfig& config);

} // namespace Lumen
