#pragma once

#include <QString>
#include <QUrl>

namespace Lumen {

// "scheme://host:port", the port filled in from the scheme when absent: URLs of one origin
// share connections and may share credentials.
QString originOf(const QUrl& url);

// Only http and https URLs are fetched over the network.
bool isHTTPURL(const QUrl& url);

} // namespace Lumen
