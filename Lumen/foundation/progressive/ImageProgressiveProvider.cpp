#include "Lumen/foundation/progressive/ImageProgressiveProvider.h"

#include "Lumen/download/SessionDataTask.h"
#include "Lumen/foundation/CallbackQueue.h"
#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/progressive/ImageProgressive.h"
#include "Lumen/foundation/progressive/ImageProgressiveDecoder.h"
#include "Lumen/foundation/progressive/ImageProgressiveSerialQueue.h"

#include <utility>

namespace Lumen {

namespace {

DataReceivingSideEffect::ShouldApply alwaysApply()
{
    return [] { return true; };
}

// The callers as their processing needs them. A caller's completion and its side effects (this
// provider among them) stay behind: an update waiting in the provider's own queue must not
// keep the provider, or a retrieval that has ended, alive.
std::vector<SessionDataTask::TaskCallback> processingCallbacks(std::vector<SessionDataTask::TaskCallback> callbacks)
{
    for (SessionDataTask::TaskCallback& callback : callbacks) {
        callback.onCompleted.reset();
        callback.options.onDataReceived.reset();
        callback.options.progressiveJPEG.reset();
    }
    return callbacks;
}

} // namespace

std::shared_ptr<ImageProgressiveProvider> ImageProgressiveProvider::make(const LumenParsedOptionsInfo& options,
                                                                         Refresh refresh,
                                                                         std::shared_ptr<DispatchClock> clock)
{
    if (!options.progressiveJPEG)
        return nullptr;
    return std::make_shared<ImageProgressiveProvider>(Passkey{}, options, std::move(refresh), std::move(clock));
}

ImageProgressiveProvider::ImageProgressiveProvider(Passkey, const LumenParsedOptionsInfo& options, Refresh refresh,
                                                   std::shared_ptr<DispatchClock> clock)
    : m_progressive(options.progressiveJPEG)
    , m_refresh(std::move(refresh))
    , m_decoder(std::make_unique<ImageProgressiveDecoder>(options))
    , m_queue(ImageProgressiveSerialQueue::make(std::move(clock)))
    , m_onShouldApply(alwaysApply())
{
}

ImageProgressiveProvider::~ImageProgressiveProvider() = default;

DataReceivingSideEffect::ShouldApply ImageProgressiveProvider::onShouldApply() const
{
    std::lock_guard lock(m_propertyLock);
    return m_onShouldApply;
}

void ImageProgressiveProvider::setOnShouldApply(ShouldApply check)
{
    if (!check)
        check = alwaysApply();
    // The replaced check is destroyed outside the lock: it may own arbitrary captures.
    std::lock_guard lock(m_propertyLock);
    std::swap(m_onShouldApply, check);
}

bool ImageProgressiveProvider::shouldApply() const
{
    // Called outside the lock, so a check may itself read or replace `onShouldApply`.
    return onShouldApply()();
}

void ImageProgressiveProvider::onDataReceived(const std::shared_ptr<SessionDataTask>& task, const QByteArray&)
{
    if (!task)
        return;
    CallbackQueue::asyncOnMain([weak = weak_from_this(), task] {
        if (const auto self = weak.lock())
            self->receive(*task);
    });
}

void ImageProgressiveProvider::receive(const SessionDataTask& task)
{
    if (!shouldApply())
        return;
    // Each copied under the task's lock, one after the other.
    auto received = std::make_shared<const Received>(
        Received{task.mutableData(), processingCallbacks(task.callbacks()), task.originalURL().value_or(QUrl())});
    if (received->data.isEmpty())
        return;
    m_queue->add(
        [weak = weak_from_this(), received = std::move(received)](ProgressiveUpdateDone done) {
            CallbackQueue::asyncOnMain([weak, received, done] {
                if (const auto self = weak.lock())
                    self->update(*received, done);
            });
        },
        m_progressive->scanInterval);
}

void ImageProgressiveProvider::update(const Received& received, const ProgressiveUpdateDone& done)
{
    if (!shouldApply()) {
        m_queue->clean();
        done();
        return;
    }
    std::vector<qsizetype> prefixLengths = m_decoder->scan(received.data);
    if (prefixLengths.empty()) {
        done();
        return;
    }
    m_decoder->decode(
        received.data, std::move(prefixLengths), received.callbacks, received.sourceURL,
        [weak = weak_from_this()](const ImagePtr& image) {
            if (const auto self = weak.lock())
                self->apply(image);
        },
        [done] { done(); });
}

void ImageProgressiveProvider::apply(const ImagePtr& image) const
{
    if (shouldApply() && m_refresh)
        m_refresh(image);
}

} // namespace Lumen
