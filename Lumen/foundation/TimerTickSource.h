#pragma once

#include "Lumen/foundation/DisplayLinkTickSource.h"

#include <QTimer>

namespace Lumen {

// Ticks at the primary screen's refresh rate (60 Hz when it is unknown) with a precise timer
// on the GUI thread. Make and use it on the GUI thread.
class TimerTickSource final : public DisplayLinkTickSource {
public:
    TimerTickSource();

    void setHandler(Handler handler) override;
    void start() override;
    void stop() override;
    bool isRunning() const override;

private:
    QTimer m_timer;
    double m_refreshPeriod;
    Handler m_handler;
};

} // namespace Lumen
