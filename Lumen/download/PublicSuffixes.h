#pragma once

#include <QString>

// What the public suffix list (through libpsl) says of host names. Names are taken in any case
// and either form of an internationalised name; answers are in lower case, ASCII-compatible.
namespace Lumen::PublicSuffixes {

// The form hosts are compared in.
QString canonicalHost(const QString& host);
// The registrable domain of `host` ("a.b.example.co.uk" gives "example.co.uk"), or the host
// itself when it has none: an address, a public suffix, or a name without a list.
QString siteOf(const QString& host);
// Whether `domain` is a public suffix ("com", "co.uk", "github.io"), under which anyone may
// register a name. Addresses never are.
bool isPublicSuffix(const QString& domain);

} // namespace Lumen::PublicSuffixes
