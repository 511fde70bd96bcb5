#include "Lumen/cache/DiskStorageConfig.h"

#include "Lumen/foundation/LibraryDefaults.h"

#include <QDir>
#include <QStandardPaths>

namespace Lumen {

namespace {

QString appendComponent(const QString& root, const QString& cacheName)
{
    return QDir::cleanPath(root + QLatin1Char('/') + cacheName);
}

QString userCacheRoot()
{
    const QString location = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    // Without a home for caches, the system's temporary folder still lets the cache work
    // for the life of the session.
    return location.isEmpty() ? QDir::tempPath() : location;
}

} // namespace

DiskStorageConfig::DiskStorageConfig(QString name, std::uint64_t sizeLimit, std::shared_ptr<FileManager> fileManager,
                                     std::optional<QString> directory)
    : sizeLimit(sizeLimit),
      expiration(StorageExpiration::days(Defaults::diskStorageExpiration.count())),
      cachePathBlock(appendComponent),
      name(std::move(name)),
      fileManager(fileManager ? std::move(fileManager) : FileManager::standard()),
      directory(std::move(directory))
{
}

QString DiskStorageConfig::cacheName() const
{
    return QStringLiteral("com.vantrel.Lumen.ImageCache.") + name;
}

QString DiskStorageConfig::resolveDirectory() const
{
    const QString root = directory.value_or(userCacheRoot());
    return cachePathBlock ? cachePathBlock(root, cacheName()) : appendComponent(root, cacheName());
}

} // namespace Lumen
