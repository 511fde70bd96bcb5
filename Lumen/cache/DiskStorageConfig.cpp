#include "Lumen/cache/DiskStorageConfig.h"

#include "Lumen/cache/ProtectedFolders.h"
#include "Lumen/foundation/LibraryDefaults.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <optional>

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

// Whether `folder` is `other` or holds it, at any depth.
bool isOrHolds(const QString& folder, const QString& other)
{
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    return other == folder || other.startsWith(prefix);
}

// Why clearing a cache in `folder` would remove what is not its own; none when it would not.
std::optional<QString> unusableFolder(const QString& folder, const QString& root, const QString& home)
{
    if (isOrHolds(folder, root))
        return folder == root ? QStringLiteral("it is the root %1 itself").arg(root)
                              : QStringLiteral("it holds the root %1").arg(root);
    if (isOrHolds(folder, home))
        return folder == home ? QStringLiteral("it is the home folder") : QStringLiteral("it holds the home folder %1").arg(home);
    return std::nullopt;
}

// Where `path` leads through links; the path itself while it does not exist.
QString resolvedPath(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

UnderlyingError refusal(const QString& message)
{
    return UnderlyingError(QString::fromLatin1(FileManager::errorDomain), EINVAL, message);
}

UnderlyingError folderRefusalError(const QString& folder, const QString& why)
{
    return refusal(QStringLiteral("The cache folder %1 may not be used: %2").arg(folder, why));
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
        std::nullopt, root};
    if (!isUsableName(name)) {
        resolved.refusal = refusal(QStringLiteral("A cache name cannot hold \"/\" or NUL, nor be \".\" or \"..\": ")
                                   + name);
    } else {
        resolved.refusal = folderRefusal(resolved.path, root);
    }
    return resolved;
}

std::optional<UnderlyingError> DiskStorageConfig::folderRefusal(const QString& folder, const QString& root)
{
    std::optional<QString> why;
    if (folder.contains(QChar(u'\0')))
        why = QStringLiteral("it holds a NUL character");
    else if (!QDir::isAbsolutePath(folder))
        why = QStringLiteral("it is not an absolute path");
    else {
        const QString home = QDir::cleanPath(QDir::homePath());
        why = unusableFolder(folder, root, home);
        if (!why)
            why = unusableFolder(resolvedPath(folder), resolvedPath(root), resolvedPath(home));
    }
    if (!why)
        return std::nullopt;
    return folderRefusalError(folder, *why);
}

std::optional<UnderlyingError> DiskStorageConfig::openFolderRefusal(const OpenFolder& folder, const QString& root)
{
    const auto identity = folder.identity();
    if (!identity)
        return identity.error();
    if (const auto why = ProtectedFolders(root).refusalOf(*identity))
        return folderRefusalError(folder.path(), *why);
    return std::nullopt;
}

} // namespace Lumen
