#pragma once

#include "Lumen/foundation/DisplayLinkTickSource.h"

#include <QObject>
#include <QPointer>

#include <concepts>
#include <functional>
#include <memory>

namespace Lumen {

// Calls a member function of a weakly held target once per screen refresh, on the GUI
// thread. Made paused; the first tick after creation only records the time stamp, so the
// target hears from the second tick on. Invalidation (also on destruction) is for good.
// Make and use it on the GUI thread.
class DisplayLink {
public:
    // `source` defaults to a timer at the screen's refresh rate.
    template <std::derived_from<QObject> Target>
    DisplayLink(Target* target, void (Target::*onTick)(), std::unique_ptr<DisplayLinkTickSource> source = nullptr)
        : DisplayLink(target,
                      onTick ? TickHandler([onTick](QObject& object) { (static_cast<Target&>(object).*onTick)(); })
                             : TickHandler(),
                      std::move(source))
    {
    }

    ~DisplayLink();
    DisplayLink(const DisplayLink&) = delete;
    DisplayLink& operator=(const DisplayLink&) = delete;

    bool isPaused() const { return m_isPaused; }
    // Starts or stops the tick source; ignored once invalidated.
    void setPaused(bool paused);

    // No rate is ever requested: callers use `duration()`.
    int preferredFramesPerSecond() const { return 0; }
    // Host time of the last tick, in seconds; 0 before the first.
    double timestamp() const { return m_timestamp; }
    // Length of one refresh period in seconds; 0 until a tick reports it.
    double duration() const { return m_duration; }

    void invalidate();
    bool isValid() const { return m_isValid; }

private:
    using TickHandler = std::function<void(QObject&)>;

    DisplayLink(QObject* target, TickHandler onTick, std::unique_ptr<DisplayLinkTickSource> source);
    void tick(const DisplayLinkFrame& frame);

    QPointer<QObject> m_target;
    TickHandler m_onTick;
    std::unique_ptr<DisplayLinkTickSource> m_source;
    bool m_isValid = true;
    bool m_isPaused = true;
    bool m_hasTicked = false;
    double m_timestamp = 0;
    double m_duration = 0;
};

} // namespace Lumen
