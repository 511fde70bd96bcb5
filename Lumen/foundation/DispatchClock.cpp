#include "Lumen/foundation/DispatchClock.h"

#include "Lumen/foundation/SystemDispatchClock.h"

namespace Lumen {

std::shared_ptr<DispatchClock> DispatchClock::system()
{
    static const std::shared_ptr<DispatchClock> clock = std::make_shared<SystemDispatchClock>();
    return clock;
}

} // namespace Lumen
