#pragma once

#include "Lumen/foundation/DispatchBlock.h"

#include <memory>
#include <mutex>

namespace Lumen {

// A block that can be cancelled before it runs. Cancelling releases the block (and whatever
// it captured) at once; a run already under way finishes.
class DispatchWorkItem {
public:
    explicit DispatchWorkItem(DispatchBlock block);

    static std::shared_ptr<DispatchWorkItem> make(DispatchBlock block);

    DispatchWorkItem(const DispatchWorkItem&) = delete;
    DispatchWorkItem& operator=(const DispatchWorkItem&) = delete;

    // Runs the block on the calling thread unless the item was cancelled.
    void perform();
    void cancel();
    bool isCancelled() const;

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<DispatchBlock> m_block;
    bool m_cancelled = false;
};

} // namespace Lumen
