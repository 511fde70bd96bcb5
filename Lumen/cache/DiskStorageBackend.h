#pragma once

#include "Lumen/cache/DiskStorageConfig.h"
#include "Lumen/cache/FileManager.h"
#include "Lumen/cache/StorageClock.h"
#include "Lumen/cache/StorageExpiration.h"
#include "Lumen/foundation/DataWritingOptions.h"
#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/foundation/LumenError.h"
#include "Lumen/foundation/UnderlyingError.h"
#include "Lumen/foundation/imaging/BitmapLimits.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <atomic>
#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace Lumen {

// What a maintenance pass removed, in removal order, and why it stopped early if it did.
struct DiskSweepResult {
    std::vector<QUrl> removed;
    std::optional<UnderlyingError> error;
};

// One file per cached value in a directory of its own. A file's modification time is its
// expiry and its last-access stamp the time of the last read that extended it; there is no
// index beside the files.
//
// Stores write a hidden temporary file in the same directory, stamp it and rename it over
// the target, so a reader (of this or another process) sees the old file or the whole new
// one. The expiry pass removes temporaries left behind for an hour.
// Any thread may call anything; operations run on the calling thread. The configuration and
// the negative lookup gate are guarded by mutexes of their own; the first listing behind the
// gate runs on the checking queue, and expiry extensions after hits run later, one at a
// time, on the meta-changing queue.
class DiskStorageBackend final : public std::enable_shared_from_this<DiskStorageBackend> {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    // The largest entry a lookup reads. Reading a larger one whole would cost more memory
    // than the largest bitmap a decode may allocate; such an entry fails to load, unread.
    static constexpr std::int64_t maxEntryBytes = BitmapLimits::maxBitmapBytes;

    // Never fails: with `creatingDirectory`, a directory that cannot be made leaves the
    // storage not ready, and every later store and lookup fails. A directory the
    // configuration may not use (see `DiskStorageConfig::ResolvedDirectory`) leaves it not
    // ready from the start, and nothing of it is ever touched.
    static std::shared_ptr<DiskStorageBackend> make(DiskStorageConfig config, bool creatingDirectory,
                                                    StorageClock clock = {});
    // A storage whose directory exists; fails with `cannotCreateDirectory`, also for a
    // directory the configuration may not use.
    static std::expected<std::shared_ptr<DiskStorageBackend>, LumenError> makePrepared(DiskStorageConfig config,
                                                                                       StorageClock clock = {});

    DiskStorageBackend(Passkey, DiskStorageConfig config, StorageClock clock);

    // Changes limits, naming and file manager for later calls; the directory stays.
    DiskStorageConfig config() const;
    void setConfig(DiskStorageConfig config);

    const QString& directoryPath() const { return m_directoryPath; }
    QUrl directoryURL() const { return QUrl::fromLocalFile(m_directoryPath); }
    // False for good once the directory could not be created.
    bool isStorageReady() const { return m_storageReady.load(); }

    const std::shared_ptr<DispatchQueue>& maybeCachedCheckingQueue() const { return m_maybeCachedCheckingQueue; }
    const std::shared_ptr<DispatchQueue>& metaChangingQueue() const { return m_metaChangingQueue; }

    // Creates the directory unless something exists at its path.
    std::expected<void, LumenError> prepareDirectory();

    // Writes `value` as the key's file, expiring as `expiration` (or the configured one)
    // says. An already-expired expiration writes nothing and is no error. Only
    // `withoutOverwriting` of the options matters: every write is atomic.
    std::expected<void, LumenError> store(const QByteArray& value, const QString& key,
                                          std::optional<StorageExpiration> expiration = std::nullopt,
                                          DataWritingOptions writeOptions = {},
                                          std::optional<QString> forcedExtension = std::nullopt);

    // The key's bytes when its file exists and has not expired at `referenceDate`; absent
    // otherwise. Without `actuallyLoad` only presence is checked: the answer is empty bytes
    // and no stamp changes. A hit extends the file's expiry as `extending` says, after the
    // answer. An entry above `maxEntryBytes` fails with `cannotLoadDataFromDisk`.
    std::expected<std::optional<QByteArray>, LumenError> value(const QString& key, Date referenceDate,
                                                               bool actuallyLoad, const ExpirationExtending& extending,
                                                               const std::optional<QString>& forcedExtension);
    std::expected<std::optional<QByteArray>, LumenError> value(const QString& key,
                                                               const std::optional<QString>& forcedExtension,
                                                               const ExpirationExtending& extending);

    // Whether an unexpired file exists; never extends.
    bool isCached(const QString& key, Date referenceDate, const std::optional<QString>& forcedExtension);
    bool isCached(const QString& key, const std::optional<QString>& forcedExtension = std::nullopt);

    // Removes the key's file; a missing file is the file manager's error.
    std::expected<void, UnderlyingError> remove(const QString& key,
                                                const std::optional<QString>& forcedExtension = std::nullopt);
    std::expected<void, UnderlyingError> removeFile(const QString& path);
    // Removes the directory with everything in it, then (unless skipped) makes it anew. A
    // directory that is a link is removed itself, and where it leads is left alone; a real
    // one is judged as opened and emptied through that descriptor.
    std::expected<void, UnderlyingError> removeAll(bool skipCreatingDirectory = false);

    // The key's file name; absent when the key cannot name a file inside the directory.
    std::optional<QString> cacheFileName(const QString& key,
                                         const std::optional<QString>& forcedExtension = std::nullopt) const;
    std::optional<QString> cacheFilePath(const QString& key,
                                         const std::optional<QString>& forcedExtension = std::nullopt) const;
    std::optional<QUrl> cacheFileURL(const QString& key,
                                     const std::optional<QString>& forcedExtension = std::nullopt) const;

    // Maintenance over the whole directory. Each pass opens the directory once, following it
    // when it is a link, and refuses a folder that is or holds the root or the home folder by
    // the identity of what it opened. Hidden items are never listed, and only regular files
    // are judged, counted and removed, each relative to the folder it was seen in: a folder
    // swapped for a link meanwhile never leads a pass outside the directory.

    // Every item below the directory, at any depth; fails with `fileEnumeratorCreationFailed`.
    std::expected<std::vector<QString>, LumenError> allFilePaths() const;
    // Removes the files expired at `referenceDate` (or now), and files whose stamps cannot
    // be read. Stale temporaries of stores go too, unreported.
    DiskSweepResult removeExpiredValues(Date referenceDate);
    DiskSweepResult removeExpiredValues();
    // With a size limit set and reached, removes the least recently accessed files until
    // the total is at most half the limit.
    DiskSweepResult removeSizeExceededValues();
    // The total size of the regular files in bytes.
    std::expected<std::uint64_t, LumenError> totalSize() const;

private:
    void setupCacheChecking();
    std::expected<void, LumenError> writeFile(const DiskStorageConfig& config, const QString& path,
                                              const QString& key, const QByteArray& value, const FileStamps& stamps,
                                              bool overwrite);
    // Queues the extension of the file a hit read, from the stamps the hit read.
    void extendLater(const QString& path, const FileMetadata& hit, const ExpirationExtending& extending);
    void extend(const QString& path, const FileMetadata& hit, const ExpirationExtending& extending);
    void rememberName(const QString& name);
    bool mayBeCached(const QString& name) const;
    QString temporaryPath() const;
    void removeStaleTemporaries(FileManager& fileManager, const std::shared_ptr<const OpenFolder>& folder) const;
    // The directory, opened once for a whole pass and judged as opened; fails with
    // `fileEnumeratorCreationFailed`, also when it may not be emptied.
    std::expected<std::shared_ptr<const OpenFolder>, LumenError> openDirectory(FileManager& fileManager) const;
    // The configuration as it is now; later replacements leave the returned one alone.
    std::shared_ptr<const DiskStorageConfig> currentConfig() const;

    // Which names may have a file. Until the first listing is in, nothing can be ruled out;
    // stores made meanwhile are kept, as the listing may have read the directory before them.
    // Shared with the listing job, which so never holds the storage itself: a storage whose
    // owner let go must not end later on a pool thread.
    struct NameGate {
        enum class State { listing, listed, off };
        // Lookups, one on every read, share it; only the listing and stores take it alone.
        std::shared_mutex mutex;
        State state = State::listing; // under mutex
        std::unordered_set<QString> names; // under mutex
    };

    StorageClock m_clock;
    mutable std::mutex m_configMutex;
    std::shared_ptr<const DiskStorageConfig> m_config; // under m_configMutex
    QString m_directoryPath;
    QString m_directoryRoot;
    // Why the directory may not be used; every operation on it fails with this.
    std::optional<UnderlyingError> m_directoryRefusal;
    std::shared_ptr<DispatchQueue> m_metaChangingQueue;
    std::shared_ptr<DispatchQueue> m_maybeCachedCheckingQueue;
    const std::shared_ptr<NameGate> m_gate = std::make_shared<NameGate>();
    std::atomic<bool> m_storageReady{true};

    // The files whose extension was queued during one second of the clock, and how.
    struct RecentExtensions {
        double second = 0.0;
        std::unordered_map<FileIdentity, ExpirationExtending, FileIdentityHash> files;
    };
    std::mutex m_extensionsMutex;
    RecentExtensions m_recentExtensions; // under m_extensionsMutex
};

} // namespace Lumen
