// The whole-directory passes of the disk storage: expired files, the size limit, the total.
#include "Lumen/cache/DiskStorageBackend.h"

#include "Lumen/cache/DiskFileName.h"

#include <algorithm>

namespace Lumen {

namespace {

// Far longer than any store takes, so a temporary this old belongs to a writer that died.
constexpr TimeInterval staleTemporaryAge{3600.0};

struct SizedFile {
    QString path;
    std::int64_t size = 0;
    Date lastAccess;
};

bool isGone(const UnderlyingError& error)
{
    return error.domain() == QLatin1String(FileManager::errorDomain) && error.code() == FileManager::missingItemCode;
}

// Removes `paths` in order, stopping at the first failure. A file that is already gone
// counts as removed: it is no longer there, which is what the pass wanted.
void removeInOrder(FileManager& fileManager, const std::vector<QString>& paths, DiskSweepResult& result)
{
    for (const QString& path : paths) {
        if (auto removed = fileManager.removeFile(path); !removed && !isGone(removed.error())) {
            result.error = removed.error();
            return;
        }
        result.removed.push_back(QUrl::fromLocalFile(path));
    }
}

} // namespace

std::expected<std::vector<QString>, LumenError> DiskStorageBackend::allFilePaths() const
{
    if (!m_directoryRefusal) {
        if (auto listed = currentConfig()->fileManager->listRecursively(m_directoryPath))
            return std::move(*listed);
    }
    return std::unexpected(LumenError(LumenError::CacheErrorReason::FileEnumeratorCreationFailed{directoryURL()}));
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
    const auto paths = allFilePaths();
    if (!paths) {
        result.error = UnderlyingError::wrapping(paths.error());
        return result;
    }
    std::vector<QString> expired;
    for (const QString& path : *paths) {
        const auto meta = fileManager->metadata(path, false);
        // Stamps that cannot be read cannot keep a file alive.
        if (!meta) {
            expired.push_back(path);
            continue;
        }
        if (meta->kind != FileMetadata::Kind::regular)
            continue;
        if (!meta->expiry || (*meta->expiry - referenceDate).count() <= 0.0)
            expired.push_back(path);
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

    const auto paths = allFilePaths();
    if (!paths) {
        result.error = UnderlyingError::wrapping(paths.error());
        return result;
    }
    const auto fileManager = currentConfig()->fileManager;
    std::vector<SizedFile> files;
    for (const QString& path : *paths) {
        const auto meta = fileManager->metadata(path, true);
        if (meta && meta->kind == FileMetadata::Kind::regular)
            files.push_back(SizedFile{path, meta->size, meta->lastAccess.value_or(distantPast)});
    }
    // Most recent access first, so the least recent ones come off the back.
    std::stable_sort(files.begin(), files.end(),
                     [](const SizedFile& lhs, const SizedFile& rhs) { return lhs.lastAccess > rhs.lastAccess; });

    const std::uint64_t target = currentConfig()->sizeLimit / 2;
    std::uint64_t size = *total;
    std::vector<QString> victims;
    while (size > target && !files.empty()) {
        const SizedFile& oldest = files.back();
        const auto fileSize = static_cast<std::uint64_t>(std::max<std::int64_t>(0, oldest.size));
        // Files written after the total was taken may add up to more than it.
        size = fileSize < size ? size - fileSize : 0;
        victims.push_back(oldest.path);
        files.pop_back();
    }
    removeInOrder(*fileManager, victims, result);
    return result;
}

std::expected<std::uint64_t, LumenError> DiskStorageBackend::totalSize() const
{
    auto paths = allFilePaths();
    if (!paths)
        return std::unexpected(std::move(paths).error());
    const auto fileManager = currentConfig()->fileManager;
    std::uint64_t total = 0;
    for (const QString& path : *paths) {
        const auto meta = fileManager->metadata(path, false);
        if (meta && meta->kind == FileMetadata::Kind::regular)
            total += static_cast<std::uint64_t>(std::max<std::int64_t>(0, meta->size));
    }
    return total;
}

} // namespace Lumen
