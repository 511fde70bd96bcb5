#include "Lumen/retrieval/IsoBrand.h"

#include <algorithm>
#include <array>
#include <span>

namespace Lumen {

namespace {

constexpr std::array heifStillBrands{"heic", "heix", "heim", "heis", "mif1"};
constexpr std::array movieBrands{"qt  ", "isom", "iso2", "mp41", "mp42"};

bool carriesBrandOf(const QByteArray& head, std::span<const char* const> brands)
{
    const auto brand = isoMajorBrand(head);
    return brand && std::ranges::any_of(brands, [&](const char* known) { return *brand == known; });
}

} // namespace

std::optional<QByteArray> isoMajorBrand(const QByteArray& head)
{
    constexpr qsizetype brandEnd = 12;
    if (head.size() < brandEnd || head.mid(4, 4) != QByteArrayLiteral("ftyp"))
        return std::nullopt;
    return head.mid(8, 4);
}

bool carriesHeifStillBrand(const QByteArray& head)
{
    return carriesBrandOf(head, heifStillBrands);
}

bool carriesMovieBrand(const QByteArray& head)
{
    return carriesBrandOf(head, movieBrands);
}

} // namespace Lumen
