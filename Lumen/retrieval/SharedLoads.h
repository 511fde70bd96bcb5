#pragma once

#include "Lumen/download/ImageLoadingResult.h"
#include "Lumen/foundation/LumenError.h"

#include <QHash>
#include <QString>

#include <expected>
#include <functional>
#include <mutex>
#include <vector>

namespace Lumen {

// The loads under way in one manager, one per cache entry. A retrieval that misses the caches
// joins the load of its entry from the moment that load starts until its image is stored, so
// one entry is loaded once however the retrievals of it interleave.
class SharedLoads {
public:
    using Outcome = std::expected<ImageLoadingResult, LumenError>;
    using Joiner = std::function<void(const Outcome&)>;
    enum class Entry { led, joined, cached };

    // Joins the load of `key` under way (`joined`: `joiner` hears its outcome). Else asks
    // `isCached`, under the table's lock so no load can end unseen between the check and the
    // answer: `cached` when a load ended meanwhile, else the caller leads a new load (`led`)
    // and must `finish` it once its image is stored or it failed.
    Entry join(const QString& key, Joiner joiner, const std::function<bool()>& isCached);
    // Ends the load of `key`, answering its joiners.
    void finish(const QString& key, const Outcome& outcome);

private:
    std::mutex m_mutex;
    QHash<QString, std::vector<Joiner>> m_loads;
};

} // namespace Lumen
