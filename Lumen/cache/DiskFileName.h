#pragma once

#include "Lumen/cache/DiskStorageConfig.h"
#include "Lumen/foundation/Date.h"

#include <QString>
#include <QStringView>

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

// A fresh name for a store's temporary file, made at `now`: hidden, so that no listing or
// sweep of any cache on the folder sees it, and dated, so that one a killed writer left can
// be told stale by its name alone.
QString temporaryFileName(Date now);
// When the temporary file `name` was made; absent for every other name.
std::optional<Date> temporaryFileCreation(QStringView name);

} // namespace Lumen
