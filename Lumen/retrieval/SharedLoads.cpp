#include "Lumen/retrieval/SharedLoads.h"

#include "Lumen/download/DownloadTask.h"
#include "Lumen/retrieval/RetrievalErrors.h"

#include <optional>
#include <utility>

namespace Lumen {

SharedLoads::SharedLoads()
    : m_table(std::make_shared<Table>())
{
}

SharedLoads::Joined SharedLoads::join(const QString& key, Caller caller, const std::function<bool()>& isCached)
{
    Entry entry = Entry::joined;
    std::shared_ptr<Load> load;
    std::uint64_t callerNumber = 0;
    {
        std::lock_guard lock(m_table->mutex);
        load = m_table->loads.value(key);
        if (!load) {
            if (isCached())
                return {Entry::cached, nullptr, nullptr};
            entry = Entry::led;
            load = std::make_shared<Load>(m_table, key);
            m_table->loads.insert(key, load);
        }
        callerNumber = load->add(std::move(caller));
    }
    auto task = DownloadTask::make(load, callerNumber);
    return {entry, std::move(load), std::move(task)};
}

SharedLoads::Load::Load(std::weak_ptr<Table> table, QString key)
    : m_table(std::move(table))
    , m_key(std::move(key))
{
}

std::uint64_t SharedLoads::Load::add(Caller caller)
{
    std::lock_guard lock(m_mutex);
    const std::uint64_t number = m_nextCaller++;
    m_callers.emplace(number, std::move(caller));
    return number;
}

void SharedLoads::Load::close()
{
    m_closed = true;
    const auto table = m_table.lock();
    if (!table)
        return;
    const auto found = table->loads.constFind(m_key);
    if (found != table->loads.cend() && found->get() == this)
        table->loads.erase(found);
}

void SharedLoads::Load::setTransfer(std::shared_ptr<DownloadTask> transfer)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_closed) {
            m_transfer = std::move(transfer);
            return;
        }
    }
    // After an end, the transfer is over and its cancel does nothing.
    if (transfer)
        transfer->cancel();
}

void SharedLoads::Load::finish(const Outcome& outcome)
{
    std::map<std::uint64_t, Caller> waiting;
    std::shared_ptr<DownloadTask> transfer;
    {
        const auto table = m_table.lock();
        std::unique_lock<std::mutex> tableLock;
        if (table)
            tableLock = std::unique_lock(table->mutex);
        std::lock_guard lock(m_mutex);
        close();
        waiting = std::exchange(m_callers, {});
        // The transfer's task holds the options of the load, and so this load.
        transfer = std::exchange(m_transfer, nullptr);
    }
    for (auto& [number, caller] : waiting)
        caller.answer(outcome);
}

void SharedLoads::Load::withdraw(std::uint64_t caller)
{
    std::optional<Caller> withdrawn;
    std::shared_ptr<DownloadTask> abandonedTransfer;
    {
        const auto table = m_table.lock();
        std::unique_lock<std::mutex> tableLock;
        if (table)
            tableLock = std::unique_lock(table->mutex);
        std::lock_guard lock(m_mutex);
        const auto found = m_callers.find(caller);
        if (found == m_callers.end())
            return;
        withdrawn = std::move(found->second);
        m_callers.erase(found);
        if (m_callers.empty() && !m_closed) {
            close();
            abandonedTransfer = std::exchange(m_transfer, nullptr);
        }
    }
    // The transfer first: a retry the answer starts must not join it.
    if (abandonedTransfer)
        abandonedTransfer->cancel();
    withdrawn->answer(std::unexpected(retrievalCancelledError()));
}

std::shared_ptr<DownloadTask> SharedLoads::Load::transfer() const
{
    std::lock_guard lock(m_mutex);
    return m_transfer;
}

DataReceivingSideEffect::ShouldApply SharedLoads::Load::onShouldApply() const
{
    return [] { return true; };
}

void SharedLoads::Load::onDataReceived(const std::shared_ptr<SessionDataTask>& task, const QByteArray& data)
{
    SideEffects watching;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [number, caller] : m_callers)
            watching.insert(watching.end(), caller.sideEffects.begin(), caller.sideEffects.end());
    }
    for (const auto& sideEffect : watching)
        sideEffect->onDataReceived(task, data);
}

} // namespace Lumen
