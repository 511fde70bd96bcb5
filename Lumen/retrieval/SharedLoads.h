#pragma once

#include "Lumen/download/ImageLoadingResult.h"
#include "Lumen/download/SharedDownload.h"
#include "Lumen/foundation/DataReceivingSideEffect.h"
#include "Lumen/foundation/LumenError.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <expected>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace Lumen {

class DownloadTask;

// The loads under way in one manager, one per cache entry. A retrieval that misses the caches
// joins the load of its entry from the moment that load starts until its image is stored, so
// one entry is loaded once however the retrievals of it interleave. Every caller of a load, the
// one that started it included, has its own handle: its cancel answers that caller alone at
// once, and the load's transfer is cancelled only when its last caller has left. A load that
// lost all its callers takes no new ones: a later retrieval starts another. Each caller's side
// effects see the bytes of the load's transfer while it waits. Any thread.
class SharedLoads {
public:
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

    // Joins the load of `key` under way (`joined`). Else asks `isCached`, under the table's lock
    // so that no load can end unseen between the check and the answer: `cached` when a load
    // ended meanwhile, else a new load is made with the caller in it (`led`), which the caller
    // starts and ends with `Load::finish`.
    Joined join(const QString& key, Caller caller, const std::function<bool()>& isCached);

private:
    struct Table {
        std::mutex mutex;
        QHash<QString, std::shared_ptr<Load>> loads;
    };

    const std::shared_ptr<Table> m_table;
};

// One load and its callers. As a side effect of its transfer, it hands every chunk on to the
// side effects of the callers still waiting, which apply their own checks.
class SharedLoads::Load final : public SharedDownload, public DataReceivingSideEffect {
public:
    Load(std::weak_ptr<Table> table, QString key);

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
    // With the table's lock held.
    std::uint64_t add(Caller caller);
    // Takes the load out of the table, if it is still there under its key, and closes it.
    void close();

    const std::weak_ptr<Table> m_table;
    const QString m_key;

    mutable std::mutex m_mutex;
    std::map<std::uint64_t, Caller> m_callers;
    std::uint64_t m_nextCaller = 0;
    bool m_closed = false;
    // Until the end: its task holds the options of the load, and so the load.
    std::shared_ptr<DownloadTask> m_transfer;
};

} // namespace Lumen
