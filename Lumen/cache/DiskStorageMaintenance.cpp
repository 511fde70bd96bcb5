// The whole-directory passes of the disk storage: expired files, the size limit, the total.
// Each opens the directory once, judges the folder it opened, and acts on the entries its walk
// saw, relative to the folders they were seen in.
#include "Lumen/cache/DiskStorageBackend.h"

#include "Lumen/cache/DiskFileName.h"

#include <QFile>

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

// The total size of the regular files below `folder`.
std::uint64_t sizeOf(const FileManager& fileManager, const std::shared_ptr<const OpenFolder>& folder)
{
    std::uint64_t total = 0;
    fileManager.walk(folder, false, [&total](WalkEntry entry) {
        if (entry.metadata && entry.metadata->kind == FileMetadata::Kind::regular)
            total += static_cast<std::uint64_t>(std::max<std::int64_t>(0, entry.metadata->size));
    });
    return total;
}

} // namespace

std::expected<std::shared_ptr<const OpenFolder>, LumenError> DiskStorageBackend::openDirectory(
    FileManager& fileManager) const
{
    const auto unlisted = [this] {
        return std::unexpected(LumenError(LumenError::CacheErrorReason::FileEnumeratorCreationFailed{directoryURL()}));
    };
    if (m_directoryRefusal)
        return unlisted();
    // The folder is followed when it is a link; what was opened is what is judged, and all
    // the pass does goes through it.
    auto folder = fileManager.openFolder(m_directoryPath);
    if (!folder || DiskStorageConfig::openFolderRefusal(**folder, m_directoryRoot))
        return unlisted();
    return std::move(*folder);
}

std::expected<std::vector<QString>, LumenError> DiskStorageBackend::allFilePaths() const
{
    const auto fileManager = currentConfig()->fileManager;
    const auto folder = openDirectory(*fileManager);
    if (!folder)
        return std::unexpected(folder.error());
    std::vector<QString> paths;
    fileManager->walk(*folder, false, [&paths](WalkEntry entry) { paths.push_back(entry.path()); });
    return paths;
}

void DiskStorageBackend::removeStaleTemporaries(FileManager& fileManager,
                                                const std::shared_ptr<const OpenFolder>& folder) const
{
    const auto names = fileManager.namesIn(*folder);
    if (!names)
        return;
    const Date now = m_clock.now();
    for (const QByteArray& name : *names) {
        const std::optional<Date> created = temporaryFileCreation(QFile::decodeName(name));
        if (created && now - *created > staleTemporaryAge)
            (void)fileManager.removeEntry(WalkEntry{folder, name, FileMetadata{}});
    }
}

DiskSweepResult DiskStorageBackend::removeExpiredValues(Date referenceDate)
{
    DiskSweepResult result;
    const auto fileManager = currentConfig()->fileManager;
    const auto folder = openDirectory(*fileManager);
    if (!folder) {
        result.error = UnderlyingError::wrapping(folder.error());
        return result;
    }
    removeStaleTemporaries(*fileManager, *folder);
    std::vector<WalkEntry> expired;
    fileManager->walk(*folder, false, [&expired, referenceDate](WalkEntry entry) {
        // Stamps that cannot be read cannot keep a file alive.
        const bool due = !entry.metadata
                         || (entry.metadata->kind == FileMetadata::Kind::regular
                             && (!entry.metadata->expiry || (*entry.metadata->expiry - referenceDate).count() <= 0.0));
        if (due)
            expired.push_back(std::move(entry));
    });
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
    // One opening serves the total and the listing.
    const auto fileManager = currentConfig()->fileManager;
    const auto folder = openDirectory(*fileManager);
    if (!folder) {
        result.error = UnderlyingError::wrapping(folder.error());
        return result;
    }
    const std::uint64_t total = sizeOf(*fileManager, *folder);
    // The limit is read afresh at each step, so a change made meanwhile counts at once.
    const std::uint64_t limit = currentConfig()->sizeLimit;
    if (limit == 0 || total < limit)
        return result;

    std::vector<SizedFile> files;
    fileManager->walk(*folder, true, [&files](WalkEntry entry) {
        if (!entry.metadata || entry.metadata->kind != FileMetadata::Kind::regular)
            return;
        const std::int64_t size = entry.metadata->size;
        const Date lastAccess = entry.metadata->lastAccess.value_or(distantPast);
        files.push_back(SizedFile{std::move(entry), size, lastAccess});
    });
    // Most recent access first, so the least recent ones come off the back.
    std::stable_sort(files.begin(), files.end(),
                     [](const SizedFile& lhs, const SizedFile& rhs) { return lhs.lastAccess > rhs.lastAccess; });

    const std::uint64_t target = currentConfig()->sizeLimit / 2;
    std::uint64_t size = total;
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
    const auto fileManager = currentConfig()->fileManager;
    const auto folder = openDirectory(*fileManager);
    if (!folder)
        return std::unexpected(folder.error());
    return sizeOf(*fileManager, *folder);
}

} // namespace Lumen
