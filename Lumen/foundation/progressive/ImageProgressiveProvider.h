#pragma once

#include "Lumen/download/SessionDataTask.h"
#include "Lumen/foundation/DataReceivingSideEffect.h"
#include "Lumen/foundation/DispatchClock.h"
#include "Lumen/foundation/Image.h"

#include <QByteArray>
#include <QUrl>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace Lumen {

class ImageProgressive;
class ImageProgressiveDecoder;
class ImageProgressiveSerialQueue;
class ProgressiveUpdateDone;
struct LumenParsedOptionsInfo;

// Shows a progressive JPEG while it downloads: as chunks arrive, each further complete scan is
// decoded through the processing of the transfer's callers and handed to `refresh` on the
// main thread, with updates spaced by the setting's interval. Lives for one retrieval, in its
// `onDataReceived`.
class ImageProgressiveProvider final : public DataReceivingSideEffect,
                                       public std::enable_shared_from_this<ImageProgressiveProvider> {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    using Refresh = std::function<void(const ImagePtr&)>;

    // Null when the options carry no `progressiveJPEG`. `clock` times the update spacing.
    static std::shared_ptr<ImageProgressiveProvider> make(const LumenParsedOptionsInfo& options, Refresh refresh,
                                                          std::shared_ptr<DispatchClock> clock = DispatchClock::system());

    ImageProgressiveProvider(Passkey, const LumenParsedOptionsInfo& options, Refresh refresh,
                             std::shared_ptr<DispatchClock> clock);
    ~ImageProgressiveProvider() override;

    // Initially always true; an empty check counts as always true. Once it answers false,
    // waiting updates are dropped and no further image is refreshed.
    ShouldApply onShouldApply() const override;
    void setOnShouldApply(ShouldApply check) override;

    // Returns at once; the task's bytes are read later on the main thread.
    void onDataReceived(const std::shared_ptr<SessionDataTask>& task, const QByteArray& data) override;

private:
    // What an update needs of the transfer: its bytes so far, its callers and its URL.
    struct Received {
        QByteArray data;
        std::vector<SessionDataTask::TaskCallback> callbacks;
        QUrl sourceURL;
    };

    bool shouldApply() const;
    void receive(const SessionDataTask& task);
    void update(const Received& received, const ProgressiveUpdateDone& done);
    void apply(const ImagePtr& image) const;

    const std::shared_ptr<const ImageProgressive> m_progressive;
    const Refresh m_refresh;
    // Touched only on the main thread.
    const std::unique_ptr<ImageProgressiveDecoder> m_decoder;
    const std::shared_ptr<ImageProgressiveSerialQueue> m_queue;

    mutable std::mutex m_propertyLock;
    ShouldApply m_onShouldApply;
};

} // namespace Lumen
