#include "Lumen/views/LMImageProgress.h"

#include <algorithm>

namespace Lumen {

double LMImageProgress::fractionCompleted() const
{
    if (m_totalUnitCount <= 0)
        return 0.0;
    return std::clamp(double(m_completedUnitCount) / double(m_totalUnitCount), 0.0, 1.0);
}

void LMImageProgress::update(std::int64_t completedUnitCount, std::int64_t totalUnitCount)
{
    m_totalUnitCount = totalUnitCount;
    m_completedUnitCount = completedUnitCount;
    emit changed();
}

} // namespace Lumen
