#pragma once

#include "Lumen/cache/FileManager.h"
#include "Lumen/cache/StorageExpiration.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace Lumen {

// How a disk storage names, places and bounds its files.
struct DiskStorageConfig {
    // Decides the storage directory from the root directory and the cache folder name.
    using CachePathBlock = std::function<QString(const QString& root, const QString& cacheName)>;

    DiskStorageConfig(QString name, std::uint64_t sizeLimit,
                      std::shared_ptr<FileManager> fileManager = FileManager::standard(),
                      std::optional<QString> directory = std::nullopt);

    // Where the storage directory goes, and why it may not be used there.
    struct ResolvedDirectory {
        // Cleaned; a configuration without a path block places the folder directly under
        // the root.
        QString path;
        // Set when `name` holds "/" or NUL or is "." or "..", or when the folder is not an
        // absolute path, or is or holds the root or the home folder ("/" holds both):
        // clearing such a cache would remove what is not its own. The path block may place
        // the folder anywhere else.
        std::optional<UnderlyingError> refusal;
        // The root the folder was placed from, cleaned.
        QString root;
    };

    // The cache folder's own name: "com.vantrel.Lumen.ImageCache." followed by `name`.
    QString cacheName() const;
    ResolvedDirectory resolveDirectory() const;
    // Why clearing `folder` would remove what is not the cache's own, as `refusal` tells,
    // judged by its path and by where it leads now: a link to the root or the home folder
    // is refused like them.
    static std::optional<UnderlyingError> folderRefusal(const QString& folder, const QString& root);
    // The same for a folder about to be emptied, judged by the folder its descriptor holds: a
    // link planted or swapped in after the directory was resolved, or after the folder was
    // opened, changes nothing. Asked by each clearing and sweep of the folder it opened.
    static std::optional<UnderlyingError> openFolderRefusal(const OpenFolder& folder, const QString& root);

    // Total file size the directory may reach; 0 means no limit.
    std::uint64_t sizeLimit;
    // Applied to stores that name no expiration of their own.
    StorageExpiration expiration;
    // Appended to every file name unless a call forces another one.
    std::optional<QString> pathExtension;
    // Name files by the SHA-256 of the key instead of the key itself.
    bool usesHashedFileName = true;
    // With hashed names and no other extension, append the key's own extension.
    bool autoExtAfterHashedFileName = false;
    CachePathBlock cachePathBlock;
    QString name;
    std::shared_ptr<FileManager> fileManager;
    // The root; absent means the user's cache location.
    std::optional<QString> directory;
};

} // namespace Lumen
