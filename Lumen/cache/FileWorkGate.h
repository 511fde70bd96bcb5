#pragma once

#include <condition_variable>
#include <utility>
#include <mutex>

namespace Lumen {

// Lets a cache's queued file work (writes, removals, clearing, cleaning) run only while the
// cache lives, so that no file appears, and none goes, once it is gone. The cache's
// destruction closes the gate: work that has not started is dropped, and work under way is
// waited for, unless it is the destroying thread's own.
class FileWorkGate {
public:
    // Runs `work` unless the gate is closed; answers whether it ran.
    template <typename Work>
    bool runUnlessClosed(Work&& work)
    {
        if (!enter())
            return false;
        const Leaving leaving{*this};
        std::forward<Work>(work)();
        return true;
    }

    bool isClosed() const;
    // Returns once no work of another thread runs; later work is dropped.
    void close();

private:
    struct Leaving {
        FileWorkGate& gate;
        ~Leaving() { gate.leave(); }
    };

    bool enter();
    void leave();

    mutable std::mutex m_mutex;
    std::condition_variable m_left;
    bool m_closed = false; // under m_mutex
    int m_running = 0; // under m_mutex
};

} // namespace Lumen
