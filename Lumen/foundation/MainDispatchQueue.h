#pragma once

#include "Lumen/foundation/DispatchQueue.h"

namespace Lumen {

// The GUI thread's event loop seen as a queue. Blocks are posted to an object of that thread,
// so they run in posting order with the rest of the main thread's queued work.
class MainDispatchQueue final : public DispatchQueue {
public:
    MainDispatchQueue(QString label, std::shared_ptr<DispatchClock> clock);

    bool isCurrent() const override;
    void async(DispatchBlock block) override;

    static bool isMainThread();

protected:
    std::expected<void, DispatchError> runSync(SyncBody body, void* context) override;
};

} // namespace Lumen
