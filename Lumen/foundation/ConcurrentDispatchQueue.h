#pragma once

#include "Lumen/foundation/DispatchQueue.h"

namespace Lumen {

// Runs each block on the next free pool thread; blocks may run side by side.
class ConcurrentDispatchQueue final : public DispatchQueue {
public:
    ConcurrentDispatchQueue(QString label, std::shared_ptr<DispatchClock> clock);

    bool isCurrent() const override;
    void async(DispatchBlock block) override;

protected:
    std::expected<void, DispatchError> runSync(SyncBody body, void* context) override;
};

} // namespace Lumen
