#include "Lumen/views/IndicatorType.h"

#include "Lumen/views/ActivityIndicator.h"
#include "Lumen/views/ImageIndicator.h"

namespace Lumen {

std::shared_ptr<Indicator> IndicatorType::makeIndicator() const
{
    switch (m_kind) {
    case Kind::none:
        return nullptr;
    case Kind::activity:
        return std::make_shared<ActivityIndicator>();
    case Kind::image:
        return ImageIndicator::make(m_imageData);
    case Kind::custom:
        return m_customIndicator;
    }
    return nullptr;
}

} // namespace Lumen
