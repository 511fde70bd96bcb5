#pragma once

#include <functional>
#include <optional>

namespace Lumen {

// One screen refresh as a display link sees it.
struct DisplayLinkFrame {
    double hostTime = 0;                 // seconds on a monotonic clock
    std::optional<double> refreshPeriod; // seconds between refreshes, when the source knows it
};

// What drives a display link: something that ticks once per refresh while running. Ticks are
// delivered on the GUI thread. Tests inject a source they tick by hand.
class DisplayLinkTickSource {
public:
    using Handler = std::function<void(const DisplayLinkFrame&)>;

    virtual ~DisplayLinkTickSource() = default;

    virtual void setHandler(Handler handler) = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;
};

} // namespace Lumen
