#pragma once

#include <QString>

class QUrl;

namespace Lumen {

// The text form of a URL in cache keys: fully percent-encoded, query and fragment included,
// and independent of the locale.
QString absoluteString(const QUrl& url);

// A file's key that survives moving the application bundle holding it: "lumen.local.cacheKey/"
// plus the path from the innermost component ending in ".app" or ".appex" on (the whole path,
// root "/" included, when none does), then "?" and the query when the URL has one.
QString localFileCacheKey(const QUrl& url);

} // namespace Lumen
