// The whole-directory passes of the disk storage: expired files, the size limit, the total.
// Each acts on the entries its walk saw, relative to the folders they were seen in.
#include "Lumen/cache/DiskStorageBackend.h"

#include "Lumen/cache/DiskFileName.h"

#include <algorithm>

namespace Lumen {

namespace {

// Far longer than any store takes, so a temporary this old belongs to a writer that died.
constexpr TimeInterval staleTemporaryAge{3600.0};

struct SizedFile {
    WalkEntry entry;
    std::int64_t size = 0;
    Date lastAccess;
};

bool isGone(const UnderlyingError& error)
{
    return error.domain() == QLatin1String(FileManager::errorDomain) && error.code() == FileManager::missingItemCode;
}

// Removes `entries` in order, stopping at the first failure. An entry that is already gone
// counts as removed: it is no longer there, which is what the pass wanted.
void removeInOrder(FileManager& fileManager, const std::vector<WalkEntry>& entries, DiskSweepResult& result)
{
    for (const WalkEntry& entry : entries) {
        if (auto removed = fileManager.removeEntry(entry); !removed && !isGone(removed.error())) {
            result.error = removed.error();
            return;
        }
        result.removed.push_back(QUrl::fromLocalFile(entry.path()));
    }
}

} // namespace

std::expected<void, LumenError> DiskStorageBackend::walkDirectory(FileManager& fileManager, bool withLastAccess,
                                                                  const std::function<void(WalkEntry)>& visit) const
{
    // A walk follows the folder when it is a link; where it leads is judged now.
    if (m_directoryRefusal || DiskStorageConfig::folderRefusal(m_directoryPath, m_directoryRoot)
        || !fileManager.walk(m_directoryPath, withLastAccess, visit))
        return std::unexpected(LumenError(LumenError::CacheErrorReason::FileEnumeratorCreationFailed{directoryURL()}));
    return {};
}

std::expected<std::vector<QString>, LumenError> DiskStorageBackend::allFilePaths() const
{
    std::vector<QString> paths;
    if (auto walked = walkDirectory(*currentConfig()->fileManager, false,
                                    [&paths](WalkEntry entry) { paths.push_back(entry.path()); });
        !walked)
        return std::unexpected(std::move(walked).error());
    return paths;
}

void DiskStorageBackend::removeStaleTemporaries(FileManager& fileManager) const
{
    const auto names = fileManager.directoryNames(m_directoryPath);
    if (!names)
        return;
    const Date now = m_clock.now();
    for (const QString& name : *names) {
        const std::optional<Date> created = temporaryFileCreation(name);
        if (created && now - *created > staleTemporaryAge)
            (void)fileManager.removeFile(m_directoryPath + QLatin1Char('/') + name);
    }
}

DiskSweepResult DiskStorageBackend::removeExpiredValues(Date referenceDate)
{
    DiskSweepResult result;
    const auto fileManager = currentConfig()->fileManager;
    if (!m_directoryRefusal)
        removeStaleTemporaries(*fileManager);
    std::vector<WalkEntry> expired;
    const auto walked = walkDirectory(*fileManager, false, [&expired, referenceDate](WalkEntry entry) {
        // Stamps that cannot be read cannot keep a file alive.
        const bool due = !entry.metadata
                         || (entry.metadata->kind == FileMetadata::Kind::regular
                             && (!entry.metadata->expiry || (*entry.metadata->expiry - referenceDate).count() <= 0.0));
        if (due)
            expired.push_back(std::move(entry));
    });
    if (!walked) {
        result.error = UnderlyingError::wrapping(walked.error());
        return result;
    }
    removeInOrder(*fileManager, expired, result);
    return result;
}

DiskSweepResult DiskStorageBackend::removeExpiredValues()
{
    return removeExpiredValues(m_clock.now());
}

DiskSweepResult DiskStorageBackend::removeSizeExceededValues()
{
    DiskSweepResult result;
    if (currentConfig()->sizeLimit == 0)
        return result;
    const auto total = totalSize();
    if (!total) {
        result.error = UnderlyingError::wrapping(total.error());
        return result;
    }
    // The limit is read afresh at each step, so a change made meanwhile counts at once.
    const std::uint64_t limit = currentConfig()->sizeLimit;
    if (limit == 0 || *total < limit)
        return result;

    const auto fileManager = currentConfig()->fileManager;
    std::vector<SizedFile> files;
    const auto walked = walkDirectory(*fileManager, true, [&files](WalkEntry entry) {
        if (!entry.metadata || entry.metadata->kind != FileMetadata::Kind::regular)
            return;
        const std::int64_t size = entry.metadata->size;
        const Date lastAccess = entry.metadata->lastAccess.value_or(distantPast);
        files.push_back(SizedFile{std::move(entry), size, lastAccess});
    });
    if (!walked) {
        result.error = UnderlyingError::wrapping(walked.error());
        return result;
    }
    // Most recent access first, so the least recent ones come off the back.
    std::stable_sort(files.begin(), files.end(),
                     [](const SizedFile& lhs, const SizedFile& rhs) { return lhs.lastAccess > rhs.lastAccess; });

    const std::uint64_t target = currentConfig()->sizeLimit / 2;
    std::uint64_t size = *total;
    std::vector<WalkEntry> victims;
    while (size > target && !files.empty()) {
        SizedFile& oldest = files.back();
        const auto fileSize = static_cast<std::uint64_t>(std::max<std::int64_t>(0, oldest.size));
        // Files written after the total was taken may add up to more than it.
        size = fileSize < size ? size - fileSize : 0;
        victims.push_back(std::move(oldest.entry));
        files.pop_back();
    }
    removeInOrder(*fileManager, victims, result);
    return result;
}

std::expected<std::uint64_t, LumenError> DiskStorageBackend::totalSize() const
{
    std::uint64_t total = 0;
    const auto walked = walkDirectory(*currentConfig()->fileManager, false, [&total](WalkEntry entry) {
        if (entry.metadata && entry.metadata->kind == FileMetadata::Kind::regular)
            total += static_cast<std::uint64_t>(std::max<std::int64_t>(0, entry.metadata->size));
    });
    if (!walked)
        return std::unexpected(walked.error());
    return total;
}

} // namespace Lumen
