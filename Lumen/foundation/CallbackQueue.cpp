#include "Lumen/foundation/CallbackQueue.h"

#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/foundation/MainDispatchQueue.h"

namespace Lumen {

CallbackQueue CallbackQueue::dispatch(DispatchQueue& queue)
{
    return CallbackQueue(Kind::dispatch, queue.shared_from_this());
}

void CallbackQueue::execute(DispatchBlock block) const
{
    if (!block)
        return;
    switch (m_kind) {
    case Kind::dispatch:
        m_queue->async(std::move(block));
        return;
    case Kind::mainAsync:
        asyncOnMain(std::move(block));
        return;
    case Kind::mainCurrentOrAsync:
        currentOrAsyncOnMain(std::move(block));
        return;
    case Kind::untouch:
        block();
        return;
    }
}

void CallbackQueue::asyncOnMain(DispatchBlock block)
{
    DispatchQueue::main()->async(std::move(block));
}

void CallbackQueue::currentOrAsyncOnMain(DispatchBlock block)
{
    if (!block)
        return;
    if (MainDispatchQueue::isMainThread())
        block();
    else
        asyncOnMain(std::move(block));
}

} // namespace Lumen
