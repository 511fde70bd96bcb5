#include "Lumen/foundation/ReservableSerialQueue.h"

namespace Lumen {

ReservableSerialQueue::Turn::~Turn()
{
    if (m_queue)
        m_queue->fill(m_number, {});
}

void ReservableSerialQueue::Turn::fill(DispatchBlock block) &&
{
    const auto queue = std::move(m_queue);
    queue->fill(m_number, std::move(block));
}

std::shared_ptr<ReservableSerialQueue> ReservableSerialQueue::make(QString label)
{
    return std::make_shared<ReservableSerialQueue>(Passkey{}, std::move(label));
}

ReservableSerialQueue::ReservableSerialQueue(Passkey, QString label)
    : m_queue(DispatchQueue::makeSerial(std::move(label)))
{
}

void ReservableSerialQueue::async(DispatchBlock block)
{
    std::uint64_t number = 0;
    {
        std::lock_guard lock(m_mutex);
        // Nothing waiting: straight through, as on a plain serial queue.
        if (m_nextToRun == m_nextTurn) {
            ++m_nextTurn;
            ++m_nextToRun;
            if (block)
                m_queue->async(std::move(block));
            return;
        }
        number = m_nextTurn++;
    }
    fill(number, std::move(block));
}

ReservableSerialQueue::Turn ReservableSerialQueue::reserve()
{
    std::lock_guard lock(m_mutex);
    return Turn(shared_from_this(), m_nextTurn++);
}

void ReservableSerialQueue::fill(std::uint64_t number, DispatchBlock block)
{
    std::lock_guard lock(m_mutex);
    m_filled.emplace(number, std::move(block));
    // Handed over under the lock, so the serial queue receives the blocks in turn order.
    for (auto next = m_filled.find(m_nextToRun); next != m_filled.end(); next = m_filled.find(m_nextToRun)) {
        if (next->second)
            m_queue->async(std::move(next->second));
        m_filled.erase(next);
        ++m_nextToRun;
    }
}

} // namespace Lumen
