#include "Lumen/foundation/DispatchQueue.h"

#include "Lumen/foundation/ConcurrentDispatchQueue.h"
#include "Lumen/foundation/DispatchWorkItem.h"
#include "Lumen/foundation/MainDispatchQueue.h"
#include "Lumen/foundation/SerialDispatchQueue.h"

namespace Lumen {

DispatchQueue::DispatchQueue(QString label, std::shared_ptr<DispatchClock> clock)
    : m_label(std::move(label)), m_clock(clock ? std::move(clock) : DispatchClock::system())
{
}

std::shared_ptr<DispatchQueue> DispatchQueue::makeSerial(QString label, std::shared_ptr<DispatchClock> clock)
{
    return std::make_shared<SerialDispatchQueue>(std::move(label), std::move(clock));
}

std::shared_ptr<DispatchQueue> DispatchQueue::global()
{
    static const std::shared_ptr<DispatchQueue> queue =
        std::make_shared<ConcurrentDispatchQueue>(QStringLiteral("global"), DispatchClock::system());
    return queue;
}

std::shared_ptr<DispatchQueue> DispatchQueue::main()
{
    // Never destroyed: pool workers still running while the process exits may post to it,
    // and then find no application and drop the block.
    static const auto* const queue = new std::shared_ptr<DispatchQueue>(makeMain(DispatchClock::system()));
    return *queue;
}

std::shared_ptr<DispatchQueue> DispatchQueue::makeMain(std::shared_ptr<DispatchClock> clock)
{
    return std::make_shared<MainDispatchQueue>(QStringLiteral("main"), std::move(clock));
}

void DispatchQueue::async(std::shared_ptr<DispatchWorkItem> item)
{
    async([item = std::move(item)] { item->perform(); });
}

void DispatchQueue::asyncAfter(Duration delay, DispatchBlock block)
{
    m_clock->schedule(m_clock->now() + delay, [self = shared_from_this(), block = std::move(block)]() mutable {
        self->async(std::move(block));
    });
}

void DispatchQueue::asyncAfter(Duration delay, std::shared_ptr<DispatchWorkItem> item)
{
    asyncAfter(delay, [item = std::move(item)] { item->perform(); });
}

} // namespace Lumen
