#include "Lumen/cache/DiskStorageBackend.h"

#include "Lumen/cache/DiskFileName.h"
#include "Lumen/foundation/QueueLabels.h"

#include <QDateTime>
#include <QVariantMap>

#include <cerrno>
#include <cmath>

namespace Lumen {

namespace {

// File stamps are whole seconds, rounded up. Lifetimes without a finite end (a NaN or
// infinite one) are clamped to the sentinels, which every file system can hold in some form.
Date roundedUp(Date date)
{
    const double seconds = date.time_since_epoch().count();
    if (std::isnan(seconds) || seconds >= distantFuture.time_since_epoch().count())
        return distantFuture;
    if (seconds <= distantPast.time_since_epoch().count())
        return distantPast;
    return Date(TimeInterval(std::ceil(seconds)));
}

FileStamps stampsFor(Date now, Date expiry)
{
    return FileStamps{roundedUp(now), roundedUp(expiry)};
}

QVariantMap describedStamps(const FileStamps& stamps)
{
    const auto toDateTime = [](Date date) {
        return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(date.time_since_epoch().count() * 1000.0), Qt::UTC);
    };
    return QVariantMap{{QStringLiteral("lastAccessDate"), toDateTime(stamps.lastAccess)},
                       {QStringLiteral("modificationDate"), toDateTime(stamps.expiry)}};
}

bool isMissing(const UnderlyingError& error)
{
    return error.domain() == QLatin1String(FileManager::errorDomain)
        && (error.code() == FileManager::missingItemCode || error.code() == ENOTDIR);
}

std::expected<FileRead, UnderlyingError> factsOnly(const FileManager& fileManager, const QString& path)
{
    auto meta = fileManager.metadata(path, false);
    if (!meta)
        return std::unexpected(std::move(meta).error());
    return FileRead{std::move(*meta), QByteArray()};
}

UnderlyingError unusableKeyError(const QString& key)
{
    return UnderlyingError(QString::fromLatin1(FileManager::errorDomain), EINVAL,
                           QStringLiteral("The key cannot name a file inside the cache directory: ") + key);
}

} // namespace

std::shared_ptr<DiskStorageBackend> DiskStorageBackend::make(DiskStorageConfig config, bool creatingDirectory,
                                                             StorageClock clock)
{
    auto backend = std::make_shared<DiskStorageBackend>(Passkey{}, std::move(config), std::move(clock));
    // The directory comes first, so the listing behind the lookup gate finds it on a first start.
    if (creatingDirectory)
        (void)backend->prepareDirectory(); // a failure stays visible as "not ready"
    backend->setupCacheChecking();
    return backend;
}

std::expected<std::shared_ptr<DiskStorageBackend>, LumenError> DiskStorageBackend::makePrepared(
    DiskStorageConfig config, StorageClock clock)
{
    auto backend = std::make_shared<DiskStorageBackend>(Passkey{}, std::move(config), std::move(clock));
    if (auto prepared = backend->prepareDirectory(); !prepared)
        return std::unexpected(std::move(prepared).error());
    backend->setupCacheChecking();
    return backend;
}

DiskStorageBackend::DiskStorageBackend(Passkey, DiskStorageConfig config, StorageClock clock)
    : m_clock(std::move(clock)),
      m_metaChangingQueue(DispatchQueue::makeSerial(config.cacheName())),
      m_maybeCachedCheckingQueue(
          DispatchQueue::makeSerial(QString::fromLatin1(QueueLabel::diskStorageMaybeCachedChecking)))
{
    auto [directory, refusal, root] = config.resolveDirectory();
    m_directoryPath = std::move(directory);
    m_directoryRefusal = std::move(refusal);
    m_directoryRoot = std::move(root);
    if (m_directoryRefusal)
        m_storageReady.store(false);
    // The path block decides the directory once; keeping it would suggest a later one could.
    config.cachePathBlock = nullptr;
    m_config = std::make_shared<const DiskStorageConfig>(std::move(config));
}

std::shared_ptr<const DiskStorageConfig> DiskStorageBackend::currentConfig() const
{
    std::lock_guard lock(m_configMutex);
    return m_config;
}

DiskStorageConfig DiskStorageBackend::config() const
{
    return *currentConfig();
}

void DiskStorageBackend::setConfig(DiskStorageConfig config)
{
    auto replacement = std::make_shared<const DiskStorageConfig>(std::move(config));
    // The old configuration goes after the lock is released: it may hold the last reference
    // to a file manager.
    std::lock_guard lock(m_configMutex);
    m_config.swap(replacement);
}

void DiskStorageBackend::setupCacheChecking()
{
    if (m_directoryRefusal)
        return;
    // The gate serves lookups only, so a storage let go before this runs needs no listing.
    // The path is a copy of its own, so the job shares no string whose last reference Qt
    // could drop out of ThreadSanitizer's sight.
    m_maybeCachedCheckingQueue->async([weakGate = std::weak_ptr<NameGate>(m_gate),
                                       fileManager = currentConfig()->fileManager,
                                       path = QString(m_directoryPath.constData(), m_directoryPath.size())] {
        const auto gate = weakGate.lock();
        if (!gate)
            return;
        const auto names = fileManager->directoryNames(path);
        std::lock_guard lock(gate->mutex);
        if (!names) {
            // Without a listing nothing can be ruled out: every lookup asks the file system.
            gate->state = NameGate::State::off;
            gate->names.clear();
            return;
        }
        gate->names.insert(names->cbegin(), names->cend());
        gate->state = NameGate::State::listed;
    });
}

void DiskStorageBackend::rememberName(const QString& name)
{
    std::lock_guard lock(m_gate->mutex);
    if (m_gate->state != NameGate::State::off)
        m_gate->names.insert(name);
}

bool DiskStorageBackend::mayBeCached(const QString& name) const
{
    std::shared_lock lock(m_gate->mutex);
    return m_gate->state != NameGate::State::listed || m_gate->names.contains(name);
}

std::expected<void, LumenError> DiskStorageBackend::prepareDirectory()
{
    if (m_directoryRefusal)
        return std::unexpected(
            LumenError(LumenError::CacheErrorReason::CannotCreateDirectory{m_directoryPath, *m_directoryRefusal}));
    const auto fileManager = currentConfig()->fileManager;
    if (fileManager->exists(m_directoryPath))
        return {};
    if (auto created = fileManager->createDirectory(m_directoryPath); !created) {
        m_storageReady.store(false);
        return std::unexpected(LumenError(LumenError::CacheErrorReason::CannotCreateDirectory{m_directoryPath, created.error()}));
    }
    return {};
}

QString DiskStorageBackend::temporaryPath() const
{
    return m_directoryPath + QLatin1Char('/') + temporaryFileName(m_clock.now());
}

std::expected<void, LumenError> DiskStorageBackend::writeFile(const DiskStorageConfig& config, const QString& path,
                                                              const QString& key, const QByteArray& value,
                                                              const FileStamps& stamps, bool overwrite)
{
    FileManager& fileManager = *config.fileManager;
    const auto fail = [&](const UnderlyingError& error) {
        return std::unexpected(
            LumenError(LumenError::CacheErrorReason::CannotCreateCacheFile{QUrl::fromLocalFile(path), key, value, error}));
    };

    QString temporary = temporaryPath();
    auto written = fileManager.writeNewFile(temporary, value);
    if (!written && isMissing(written.error())) {
        // The directory was deleted from outside: make it again and try once more.
        (void)fileManager.removeFile(temporary);
        if (auto prepared = prepareDirectory(); !prepared)
            return fail(UnderlyingError::wrapping(prepared.error()));
        temporary = temporaryPath();
        written = fileManager.writeNewFile(temporary, value);
    }
    if (!written) {
        (void)fileManager.removeFile(temporary);
        return fail(written.error());
    }
    if (auto stamped = fileManager.setStamps(temporary, stamps); !stamped) {
        (void)fileManager.removeFile(temporary);
        return std::unexpected(LumenError(
            LumenError::CacheErrorReason::CannotSetCacheFileAttribute{path, describedStamps(stamps), stamped.error()}));
    }
    auto published =
        overwrite ? fileManager.replace(temporary, path) : fileManager.moveWithoutReplacing(temporary, path);
    if (!published) {
        (void)fileManager.removeFile(temporary);
        return fail(published.error());
    }
    return {};
}

std::expected<void, LumenError> DiskStorageBackend::store(const QByteArray& value, const QString& key,
                                                          std::optional<StorageExpiration> expiration,
                                                          DataWritingOptions writeOptions,
                                                          std::optional<QString> forcedExtension)
{
    if (!isStorageReady())
        return std::unexpected(LumenError(LumenError::CacheErrorReason::DiskStorageIsNotReady{directoryURL()}));
    const auto current = currentConfig();
    const StorageExpiration lifetime = expiration.value_or(current->expiration);
    const Date now = m_clock.now();
    if (lifetime.isExpired(now))
        return {};

    const std::optional<QString> name = diskCacheFileName(key, forcedExtension, *current);
    if (!name)
        return std::unexpected(LumenError(
            LumenError::CacheErrorReason::CannotCreateCacheFile{directoryURL(), key, value, unusableKeyError(key)}));
    const QString path = m_directoryPath + QLatin1Char('/') + *name;
    const FileStamps stamps = stampsFor(now, lifetime.estimatedExpiration(now));
    const bool overwrite = !writeOptions.testFlag(DataWritingOption::withoutOverwriting);
    if (auto written = writeFile(*current, path, key, value, stamps, overwrite); !written)
        return written;
    rememberName(*name);
    return {};
}

std::expected<std::optional<QByteArray>, LumenError> DiskStorageBackend::value(
    const QString& key, Date referenceDate, bool actuallyLoad, const ExpirationExtending& extending,
    const std::optional<QString>& forcedExtension)
{
    if (!isStorageReady())
        return std::unexpected(LumenError(LumenError::CacheErrorReason::DiskStorageIsNotReady{directoryURL()}));
    const auto current = currentConfig();
    const std::optional<QString> name = diskCacheFileName(key, forcedExtension, *current);
    if (!name || !mayBeCached(*name))
        return std::nullopt;

    const QString path = m_directoryPath + QLatin1Char('/') + *name;
    const bool extends = actuallyLoad && extending.kind() != ExpirationExtending::Kind::none;
    FileManager& fileManager = *current->fileManager;
    // A hit opens the file once, reading there the last access its extension needs; a
    // presence check only looks at it.
    auto found = actuallyLoad ? fileManager.readFile(path, maxEntryBytes, extends) : factsOnly(fileManager, path);
    if (!found) {
        // A file removed since the gate let the name through is a plain miss.
        if (isMissing(found.error()))
            return std::nullopt;
        return std::unexpected(LumenError(
            LumenError::CacheErrorReason::InvalidURLResource{found.error(), key, QUrl::fromLocalFile(path)}));
    }
    const FileMetadata& meta = found->metadata;
    if (meta.kind != FileMetadata::Kind::regular)
        return std::nullopt;
    if (!meta.expiry || (*meta.expiry - referenceDate).count() <= 0.0)
        return std::nullopt;
    if (!found->content) {
        if (isMissing(found->content.error()))
            return std::nullopt;
        return std::unexpected(LumenError(
            LumenError::CacheErrorReason::CannotLoadDataFromDisk{QUrl::fromLocalFile(path), found->content.error()}));
    }
    if (extends)
        extendLater(path, meta, extending);
    return std::optional<QByteArray>(std::move(*found->content));
}

std::expected<std::optional<QByteArray>, LumenError> DiskStorageBackend::value(
    const QString& key, const std::optional<QString>& forcedExtension, const ExpirationExtending& extending)
{
    return value(key, m_clock.now(), true, extending, forcedExtension);
}

void DiskStorageBackend::extendLater(const QString& path, const FileMetadata& hit, const ExpirationExtending& extending)
{
    {
        // Stamps hold whole seconds, so a second extension alike within the same second of
        // the clock would write the same ones: only the first of them is queued.
        const double second = std::ceil(m_clock.now().time_since_epoch().count());
        std::lock_guard lock(m_extensionsMutex);
        if (second != m_recentExtensions.second) {
            m_recentExtensions.second = second;
            m_recentExtensions.files.clear();
        }
        const auto [claimed, isNew] = m_recentExtensions.files.try_emplace(hit.identity, extending);
        if (!isNew && claimed->second == extending)
            return;
        claimed->second = extending;
    }
    m_metaChangingQueue->async([self = shared_from_this(), path, hit, extending] { self->extend(path, hit, extending); });
}

void DiskStorageBackend::extend(const QString& path, const FileMetadata& hit, const ExpirationExtending& extending)
{
    if (!hit.lastAccess || !hit.expiry)
        return;
    const Date now = m_clock.now();
    const StorageExpiration lifetime = extending.kind() == ExpirationExtending::Kind::expirationTime
        ? *extending.expiration()
        : StorageExpiration::seconds((*hit.expiry - *hit.lastAccess).count());
    const FileStamps stamps = stampsFor(now, lifetime.estimatedExpiration(now));
    if (stamps.lastAccess == *hit.lastAccess && stamps.expiry == *hit.expiry)
        return;
    // Only the file that was read: a newer store renamed over it keeps its own stamps.
    (void)currentConfig()->fileManager->setStamps(path, stamps, hit.identity);
}

bool DiskStorageBackend::isCached(const QString& key, Date referenceDate, const std::optional<QString>& forcedExtension)
{
    const auto found = value(key, referenceDate, false, ExpirationExtending::none(), forcedExtension);
    return found && found->has_value();
}

bool DiskStorageBackend::isCached(const QString& key, const std::optional<QString>& forcedExtension)
{
    return isCached(key, m_clock.now(), forcedExtension);
}

std::expected<void, UnderlyingError> DiskStorageBackend::remove(const QString& key,
                                                                const std::optional<QString>& forcedExtension)
{
    if (m_directoryRefusal)
        return std::unexpected(*m_directoryRefusal);
    const std::optional<QString> path = cacheFilePath(key, forcedExtension);
    if (!path)
        return std::unexpected(unusableKeyError(key));
    return removeFile(*path);
}

std::expected<void, UnderlyingError> DiskStorageBackend::removeFile(const QString& path)
{
    return currentConfig()->fileManager->removeFile(path);
}

std::expected<void, UnderlyingError> DiskStorageBackend::removeAll(bool skipCreatingDirectory)
{
    if (m_directoryRefusal)
        return std::unexpected(*m_directoryRefusal);
    const auto judge = [this](const OpenFolder& folder) {
        return DiskStorageConfig::openFolderRefusal(folder, m_directoryRoot);
    };
    if (auto removed = currentConfig()->fileManager->removeTree(m_directoryPath, judge); !removed)
        return removed;
    if (skipCreatingDirectory)
        return {};
    if (auto prepared = prepareDirectory(); !prepared)
        return std::unexpected(UnderlyingError::wrapping(prepared.error()));
    return {};
}

std::optional<QString> DiskStorageBackend::cacheFileName(const QString& key,
                                                         const std::optional<QString>& forcedExtension) const
{
    return diskCacheFileName(key, forcedExtension, *currentConfig());
}

std::optional<QString> DiskStorageBackend::cacheFilePath(const QString& key,
                                                         const std::optional<QString>& forcedExtension) const
{
    const std::optional<QString> name = cacheFileName(key, forcedExtension);
    if (!name || m_directoryRefusal)
        return std::nullopt;
    return m_directoryPath + QLatin1Char('/') + *name;
}

std::optional<QUrl> DiskStorageBackend::cacheFileURL(const QString& key,
                                                     const std::optional<QString>& forcedExtension) const
{
    const std::optional<QString> path = cacheFilePath(key, forcedExtension);
    if (!path)
        return std::nullopt;
    return QUrl::fromLocalFile(*path);
}

} // namespace Lumen
