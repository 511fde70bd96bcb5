#include "Lumen/cache/DiskStorageConfig.h"

#include "Lumen/foundation/LibraryDefaults.h"

#include <QDir>
#include <QStandardPaths>

#include <cerrno>

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

bool isUsableName(const QString& name)
{
    return !name.contains(QLatin1Char('/')) && !name.contains(QChar(u'\0')) && name != QLatin1String(".")
        && name != QLatin1String("..");
}

bool liesBelow(const QString& path, const QString& root)
{
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    return path.size() > prefix.size() && path.startsWith(prefix) && !path.contains(QChar(u'\0'));
}

UnderlyingError refusal(const QString& message)
{
    return UnderlyingError(QString::fromLatin1(FileManager::errorDomain), EINVAL, message);
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

DiskStorageConfig::ResolvedDirectory DiskStorageConfig::resolveDirectory() const
{
    const QString root = QDir::cleanPath(directory.value_or(userCacheRoot()));
    ResolvedDirectory resolved{
        QDir::cleanPath(cachePathBlock ? cachePathBlock(root, cacheName()) : appendComponent(root, cacheName())),
        std::nullopt};
    if (!isUsableName(name)) {
        resolved.refusal = refusal(QStringLiteral("A cache name cannot hold \"/\" or NUL, nor be \".\" or \"..\": ")
                                   + name);
    } else if (!liesBelow(resolved.path, root)) {
        resolved.refusal =
            refusal(QStringLiteral("The cache folder %1 does not lie below its root %2").arg(resolved.path, root));
    }
    return resolved;
}

} // namespace Lumen
