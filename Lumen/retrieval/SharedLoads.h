#pragma once

#include "Lumen/download/ImageLoadingResult.h"
#include "Lumen/download/SharedDownload.h"
#include "Lumen/foundation/DataReceivingSideEffect.h"
#include "Lumen/foundation/LumenError.h"

#include <QHash>
#include <QString>
#include <QUrl>

#include <array>
#include <cstdint>
#include <expected>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace Lumen {

class DownloadTask;

// The loads under way in one manager, one per cache entry and fetch. A retrieval that misses the
// caches joins the load of its key from the moment that load starts until its image is stored,
// so one entry is fetched once however the retrievals of it interleave. Every caller of a load,
// the one that started it included, has its own handle: its cancel answers that caller alone at
// once, and the load's transfer is cancelled only when its last caller has left. A load that
// lost all its callers takes no new ones: a later retrieval starts another. Each caller's side
// effects see the bytes of the load's transfer while it waits. Any thread.
class SharedLoads {
public:
    // What a load stores and reports, and what it fetches through: callers share a load only
    // when it does for each of them what it would do alone. Objects count by identity.
    struct Key {
        const void* targetCache = nullptr;
        QString entryKey;
        QString processorIdentifier;
        std::optional<QString> forcedExtension;
        bool waitForCache = false;
        bool cacheMemoryOnly = false;
        bool cacheOriginalImage = false;
        const void* originalCache = nullptr;
        // A download's URL; none for a data provider, whose key is the entry's.
        std::optional<QUrl> downloadURL;
        const void* downloader = nullptr;
        const void* requestModifier = nullptr;
        const void* redirectHandler = nullptr;

        friend bool operator==(const Key&, const Key&) = default;
    };
    using Outcome = std::expected<ImageLoadingResult, LumenError>;
    using SideEffects = std::vector<std::shared_ptr<DataReceivingSideEffect>>;
    // One caller: `answer` is called once, with the load's outcome or with the caller's cancel.
    struct Caller {
        std::function<void(const Outcome&)> answer;
        SideEffects sideEffects;
    };
    class Load;
    enum class Entry { led, joined, cached };
    struct Joined {
        Entry entry;
        // The load joined or to be started; null when `cached`.
        std::shared_ptr<Load> load;
        // The caller's own handle; null when `cached`.
        std::shared_ptr<DownloadTask> task;
    };

    SharedLoads();

    // Joins the load of `key` under way (`joined`). Else asks `isCached`, with no lock held:
    // `cached` when it answers true; else, unless a load of the key ended while it was asked
    // (then it is asked again), a new load is made with the caller in it (`led`), which the
    // caller starts and ends with `Load::finish`.
    Joined join(const Key& key, Caller caller, const std::function<bool()>& isCached);

private:
    // The table in stripes by key, so that callers of different entries seldom wait on each
    // other. Each stripe counts the loads that ended in it.
    struct Stripe {
        std::mutex mutex;
        QHash<Key, std::shared_ptr<Load>> loads;
        std::uint64_t ended = 0;
    };
    struct Table {
        std::array<Stripe, 16> stripes;
    };

    const std::shared_ptr<Table> m_table;
};

std::size_t qHash(const SharedLoads::Key& key, std::size_t seed = 0) noexcept;

// One load and its callers. As a side effect of its transfer, it hands every chunk on to the
// side effects of the callers still waiting, which apply their own checks.
class SharedLoads::Load final : public SharedDownload, public DataReceivingSideEffect {
public:
    Load(std::weak_ptr<Table> table, Stripe& stripe, Key key);

    // The transfer the load started, which a cancel of its last caller cancels; cancelled at
    // once when every caller has left before it was known.
    void setTransfer(std::shared_ptr<DownloadTask> transfer);
    // Ends the load, answering every caller still waiting.
    void finish(const Outcome& outcome);

    void withdraw(std::uint64_t caller) override;
    std::shared_ptr<DownloadTask> transfer() const override;

    ShouldApply onShouldApply() const override;
    void setOnShouldApply(ShouldApply) override {}
    void onDataReceived(const std::shared_ptr<SessionDataTask>& task, const QByteArray& data) override;

private:
    friend class SharedLoads;
    // With the stripe's lock held.
    std::uint64_t add(Caller caller);
    // With the stripe's lock held while `table` lives: takes the load out of its stripe, if it
    // is still there under its key, and closes it.
    void close(const std::shared_ptr<Table>& table);
    // The stripe's lock, held while the table lives.
    std::unique_lock<std::mutex> lockStripe(std::shared_ptr<Table>& table) const;

    const std::weak_ptr<Table> m_table;
    Stripe& m_stripe;
    const Key m_key;

    mutable std::mutex m_mutex;
    std::map<std::uint64_t, Caller> m_callers;
    std::uint64_t m_nextCaller = 0;
    bool m_closed = false;
    // Until the end: its task holds the options of the load, and so the load.
    std::shared_ptr<DownloadTask> m_transfer;
};

} // namespace Lumen
