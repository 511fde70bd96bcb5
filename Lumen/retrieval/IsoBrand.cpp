#include "Lumen/retrieval/IsoBrand.h"

namespace Lumen {

std::optional<QByteArray> isoMajorBrand(const QByteArray& head)
{
    constexpr qsizetype brandEnd = 12;
    if (head.size() < brandEnd || head.mid(4, 4) != QByteArrayLiteral("ftyp"))
        return std::nullopt;
    return head.mid(8, 4);
}

} // namespace Lumen
