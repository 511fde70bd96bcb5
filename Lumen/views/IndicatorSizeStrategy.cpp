#include "Lumen/views/IndicatorSizeStrategy.h"

#include <cmath>

namespace Lumen {

namespace {

double sideOrZero(double side)
{
    return std::isfinite(side) && side > 0 ? side : 0.0;
}

} // namespace

IndicatorSizeStrategy IndicatorSizeStrategy::size(QSizeF size)
{
    return IndicatorSizeStrategy(Kind::size, QSizeF(sideOrZero(size.width()), sideOrZero(size.height())));
}

} // namespace Lumen
