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
    queue->fill(m_number, Operation{std::move(block), {}});
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
    enqueue(Operation{std::move(block), {}});
}

void ReservableSerialQueue::asyncReading(ReadingBlock read)
{
    enqueue(Operation{{}, std::move(read)});
}

void ReservableSerialQueue::enqueue(Operation operation)
{
    std::uint64_t number = 0;
    {
        std::unique_lock lock(m_mutex);
        // Nothing reserved ahead: its turn has come.
        if (m_nextToRun == m_nextTurn) {
            ++m_nextTurn;
            ++m_nextToRun;
            m_admitted.push_back(std::move(operation));
            startAdmitted(std::move(lock));
            return;
        }
        number = m_nextTurn++;
    }
    fill(number, std::move(operation));
}

ReservableSerialQueue::Turn ReservableSerialQueue::reserve()
{
    std::lock_guard lock(m_mutex);
    return Turn(shared_from_this(), m_nextTurn++);
}

void ReservableSerialQueue::fill(std::uint64_t number, Operation operation)
{
    std::unique_lock lock(m_mutex);
    m_filled.emplace(number, std::move(operation));
    for (auto next = m_filled.find(m_nextToRun); next != m_filled.end(); next = m_filled.find(m_nextToRun)) {
        m_admitted.push_back(std::move(next->second));
        m_filled.erase(next);
        ++m_nextToRun;
    }
    startAdmitted(std::move(lock));
}

void ReservableSerialQueue::startAdmitted(std::unique_lock<std::mutex> lock)
{
    std::vector<ReadingBlock> reads;
    while (!m_admitted.empty()) {
        Operation& next = m_admitted.front();
        if (next.read) {
            if (m_runningBlocks > 0)
                break;
            ++m_runningReads;
            reads.push_back(std::move(next.read));
        } else if (next.block) {
            if (m_runningReads > 0)
                break;
            ++m_runningBlocks;
            // Handed over under the lock, so the serial queue receives the blocks in turn order.
            m_queue->async([self = shared_from_this(), block = std::move(next.block)]() mutable {
                block();
                block = nullptr;
                self->finished(Kind::block);
            });
        }
        m_admitted.pop_front();
    }
    lock.unlock();
    // Reads are counted as running already, so waking threads for them needs no lock.
    for (ReadingBlock& read : reads)
        DispatchQueue::global()->async([self = shared_from_this(), read = std::move(read)]() mutable {
            DispatchBlock then = read();
            read = nullptr;
            self->finished(Kind::read);
            if (then)
                then();
        });
}

void ReservableSerialQueue::finished(Kind kind)
{
    std::unique_lock lock(m_mutex);
    std::size_t& running = kind == Kind::block ? m_runningBlocks : m_runningReads;
    if (--running == 0)
        startAdmitted(std::move(lock));
}

} // namespace Lumen
