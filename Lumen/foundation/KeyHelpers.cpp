#include "Lumen/foundation/KeyHelpers.h"

#include "Lumen/foundation/LumenWrapper.h"

namespace Lumen {

std::optional<QString> fileExtension(QStringView key)
{
    const auto pieces = key.split(u'@', Qt::SkipEmptyParts);
    if (pieces.isEmpty())
        return std::nullopt;

    const QStringView first = pieces.front();
    const qsizetype dot = first.lastIndexOf(u'.');
    if (dot < 0 || dot + 1 == first.size())
        return std::nullopt;
    return first.mid(dot + 1).toString();
}

std::optional<QString> LumenWrapper<QString>::fileExtension() const
{
    return Lumen::fileExtension(base());
}

} // namespace Lumen
