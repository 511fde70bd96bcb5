#pragma once

#include "Lumen/download/ImageLoadingResult.h"
#include "Lumen/foundation/DataReceivingSideEffect.h"
#include "Lumen/foundation/LumenError.h"

#include <QHash>
#include <QString>

#include <expected>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace Lumen {

// The loads under way in one manager, one per cache entry. A retrieval that misses the caches
// joins the load of its entry from the moment that load starts until its image is stored, so
// one entry is loaded once however the retrievals of it interleave. A joiner's side effects
// see the bytes of the load's transfer as its leader's do.
class SharedLoads {
public:
    using Outcome = std::expected<ImageLoadingResult, LumenError>;
    using Joiner = std::function<void(const Outcome&)>;
    using SideEffects = std::vector<std::shared_ptr<DataReceivingSideEffect>>;
    enum class Entry { led, joined, cached };
    struct Joined {
        Entry entry;
        // For a new load: the side effect, for the leader's options, that hands each chunk
        // of its transfer on to the joiners' side effects.
        std::shared_ptr<DataReceivingSideEffect> joinersSideEffect;
    };

    // Joins the load of `key` under way (`joined`: `joiner` hears its outcome). Else asks
    // `isCached`, under the table's lock so no load can end unseen between the check and the
    // answer: `cached` when a load ended meanwhile, else the caller leads a new load (`led`)
    // and must `finish` it once its image is stored or it failed.
    Joined join(const QString& key, Joiner joiner, const SideEffects& sideEffects,
                const std::function<bool()>& isCached);
    // Ends the load of `key`, answering its joiners.
    void finish(const QString& key, const Outcome& outcome);

private:
    class Load;

    std::mutex m_mutex;
    QHash<QString, std::shared_ptr<Load>> m_loads;
};

} // namespace Lumen
