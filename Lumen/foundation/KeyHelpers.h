#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace Lumen {

// The extension hidden in a cache key: the text after the last "." of the part before the
// first "@" (empty parts skipped, so "@photo.gif" gives "gif"). Whatever follows that dot
// counts, slashes included ("archive.tar/inner" gives "tar/inner"). None when that text is
// empty or there is no dot.
std::optional<QString> fileExtension(QStringView key);

} // namespace Lumen
