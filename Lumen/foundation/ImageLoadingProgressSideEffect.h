#pragma once

#include "Lumen/foundation/DataReceivingSideEffect.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace Lumen {

// Turns the chunks of a transfer into progress reports (bytes received so far, bytes
// expected) for a caller's progress block. Reports are made on the main thread, one per
// chunk in arrival order, and only when the response announced its length.
class ImageLoadingProgressSideEffect final : public DataReceivingSideEffect,
                                             public std::enable_shared_from_this<ImageLoadingProgressSideEffect> {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    using ProgressBlock = std::function<void(std::int64_t receivedSize, std::int64_t totalSize)>;

    static std::shared_ptr<ImageLoadingProgressSideEffect> make(ProgressBlock block);

    ImageLoadingProgressSideEffect(Passkey, ProgressBlock block);

    // Initially always true. An empty check counts as always true.
    ShouldApply onShouldApply() const override;
    void setOnShouldApply(ShouldApply check) override;

    // Returns at once; the report is made later on the main thread, with the sizes as they
    // are then, and only while `onShouldApply` still answers true at that moment.
    void onDataReceived(const std::shared_ptr<SessionDataTask>& task, const QByteArray& data) override;

private:
    void report(const SessionDataTask& task) const;

    const ProgressBlock m_block;
    mutable std::mutex m_propertyLock;
    ShouldApply m_onShouldApply;
};

} // namespace Lumen
