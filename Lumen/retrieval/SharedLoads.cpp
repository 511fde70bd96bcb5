#include "Lumen/retrieval/SharedLoads.h"

#include "Lumen/download/DownloadTask.h"
#include "Lumen/retrieval/RetrievalErrors.h"

#include <QHashFunctions>

#include <utility>

namespace Lumen {

std::size_t qHash(const SharedLoads::Key& key, std::size_t seed) noexcept
{
    seed = qHashMulti(seed, key.targetCache, key.entryKey, key.processorIdentifier, key.waitForCache,
                      key.cacheMemoryOnly, key.cacheOriginalImage, key.originalCache, key.downloader,
                      key.requestModifier, key.redirectHandler);
    if (key.forcedExtension)
        seed = qHashMulti(seed, *key.forcedExtension);
    if (key.downloadURL)
        seed = qHashMulti(seed, *key.downloadURL);
    return seed;
}

SharedLoads::SharedLoads()
    : m_table(std::make_shared<Table>())
{
}

namespace {

// How often the cache is asked while loads of the same stripe keep ending meanwhile. Past it the
// caller starts a load anyway: at worst the entry is fetched once more.
constexpr int maximumCacheLooks = 4;

} // namespace

SharedLoads::Joined SharedLoads::join(const Key& key, Caller caller, const std::function<bool()>& isCached)
{
    Stripe& stripe = m_table->stripes[qHash(key) % m_table->stripes.size()];
    std::unique_lock lock(stripe.mutex);
    for (int looks = 1;; ++looks) {
        std::shared_ptr<Load> load = stripe.loads.value(key);
        if (!load) {
            // A load that ends stores its image before it leaves the table: when none of this
            // stripe ended while the cache was asked, a miss there still holds.
            const std::uint64_t endedBefore = stripe.ended;
            lock.unlock();
            if (isCached())
                return {Entry::cached, nullptr, nullptr};
            lock.lock();
            load = stripe.loads.value(key);
            if (!load && stripe.ended != endedBefore && looks < maximumCacheLooks)
                continue;
        }
        const bool leads = !load;
        if (leads) {
            load = std::make_shared<Load>(m_table, stripe, key);
            stripe.loads.insert(key, load);
        }
        const std::uint64_t callerNumber = load->add(std::move(caller));
        lock.unlock();
        auto task = DownloadTask::make(load, callerNumber);
        return {leads ? Entry::led : Entry::joined, std::move(load), std::move(task)};
    }
}

SharedLoads::Load::Load(std::weak_ptr<Table> table, Stripe& stripe, Key key)
    : m_table(std::move(table))
    , m_stripe(stripe)
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

std::unique_lock<std::mutex> SharedLoads::Load::lockStripe(std::shared_ptr<Table>& table) const
{
    table = m_table.lock();
    return table ? std::unique_lock(m_stripe.mutex) : std::unique_lock<std::mutex>();
}

void SharedLoads::Load::close(const std::shared_ptr<Table>& table)
{
    m_closed = true;
    if (!table)
        return;
    const auto found = m_stripe.loads.constFind(m_key);
    if (found != m_stripe.loads.cend() && found->get() == this) {
        m_stripe.loads.erase(found);
        ++m_stripe.ended;
    }
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
        std::shared_ptr<Table> table;
        const auto stripeLock = lockStripe(table);
        std::lock_guard lock(m_mutex);
        close(table);
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
        std::shared_ptr<Table> table;
        const auto stripeLock = lockStripe(table);
        std::lock_guard lock(m_mutex);
        const auto found = m_callers.find(caller);
        if (found == m_callers.end())
            return;
        withdrawn = std::move(found->second);
        m_callers.erase(found);
        if (m_callers.empty() && !m_closed) {
            close(table);
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
