#pragma once

#include "Lumen/foundation/DispatchClock.h"
#include "Lumen/foundation/progressive/ProgressiveUpdateDone.h"

#include <functional>
#include <memory>
#include <optional>

namespace Lumen {

class DispatchQueue;
class DispatchWorkItem;

// Runs progressive updates one after another with a minimum spacing. An update starts on the
// queue's own serial queue and finishes when it fires the done signal it was given.
//
// Only the newest update waits: adding while another waits replaces it, so memory holds at
// most the running update and one pending one, however many chunks arrive. The first update
// after idling waits out what is left of the spacing since the queue last became idle; a
// later one starts exactly `spacing` after the previous one finished.
class ImageProgressiveSerialQueue : public std::enable_shared_from_this<ImageProgressiveSerialQueue> {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    using Update = std::function<void(ProgressiveUpdateDone done)>;

    static std::shared_ptr<ImageProgressiveSerialQueue> make(
        std::shared_ptr<DispatchClock> clock = DispatchClock::system());

    ImageProgressiveSerialQueue(Passkey, std::shared_ptr<DispatchClock> clock);
    ImageProgressiveSerialQueue(const ImageProgressiveSerialQueue&) = delete;
    ImageProgressiveSerialQueue& operator=(const ImageProgressiveSerialQueue&) = delete;

    // Asynchronous. `spacing` is in seconds; one that is not finite and positive counts as 0.
    void add(Update update, double spacing);
    // Asynchronous: drops the waiting update. A running one finishes normally.
    void clean();
    // Asynchronous: `notify` is called once, on the queue, as soon as no update runs or waits.
    void setNotify(std::function<void()> notify);

private:
    void enqueue(Update update, DispatchClock::Duration spacing);
    void schedule(DispatchClock::Duration delay);
    void start();
    void finish();
    void notifyIdle();

    const std::shared_ptr<DispatchQueue> m_queue;

    // Touched only on m_queue.
    std::optional<Update> m_waiting;
    std::shared_ptr<DispatchWorkItem> m_scheduled;
    bool m_running = false;
    DispatchClock::Duration m_spacing{};
    std::optional<DispatchClock::TimePoint> m_lastIdle;
    std::function<void()> m_notify;
};

} // namespace Lumen
