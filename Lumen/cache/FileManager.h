#pragma once

#include "Lumen/foundation/Date.h"
#include "Lumen/foundation/UnderlyingError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Lumen {

// Which inode a path named when it was looked at, so later work can tell a replaced file.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    bool operator==(const FileIdentity&) const = default;
};

struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& identity) const noexcept
    {
        return std::hash<std::uint64_t>()(identity.inode * 31 + identity.device);
    }
};

// The two bookkeeping stamps of a cache file.
struct FileStamps {
    Date lastAccess;
    Date expiry;
};

struct FileMetadata {
    enum class Kind { regular, directory, other };

    Kind kind = Kind::other;
    std::int64_t size = 0;
    // The time of the last access; absent when it was not asked for or cannot be told.
    std::optional<Date> lastAccess;
    // When the file expires; absent when the file system reports no modification time.
    std::optional<Date> expiry;
    FileIdentity identity;
};

// A folder held open, so that what is done to the items seen in it is done relative to it,
// never through a path another process can swap meanwhile. Closed when the last holder lets go.
class OpenFolder {
public:
    OpenFolder(int descriptor, QString path) : m_descriptor(descriptor), m_path(std::move(path)) {}
    ~OpenFolder();
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    int descriptor() const { return m_descriptor; }
    // Where it was when it was opened, for reports.
    const QString& path() const { return m_path; }
    // The folder the descriptor holds, whatever its path names by now.
    std::expected<FileIdentity, UnderlyingError> identity() const;

private:
    int m_descriptor;
    QString m_path;
};

// An item a walk met.
struct WalkEntry {
    // The folder it was seen in, and its name there.
    std::shared_ptr<const OpenFolder> folder;
    QByteArray name;
    // Its facts, as `metadata` gives them; the last access only when the walk was asked for it.
    std::expected<FileMetadata, UnderlyingError> metadata;

    // Where it was, for reports.
    QString path() const;
};

// What one opening of a file told.
struct FileRead {
    FileMetadata metadata;
    // The whole content; read only from a regular file, and refused (EFBIG) above the size
    // the reader asked for. Empty for other kinds of item.
    std::expected<QByteArray, UnderlyingError> content;
};

// The file operations of the disk storage, behind an interface so that tests can make any
// one of them fail. Paths are absolute local paths. Errors carry `errorDomain` and the
// system's error number as code; a missing item is `missingItemCode`. Reads of one cache
// run side by side, so every operation must be safe to call from several threads at once.
class FileManager {
public:
    static constexpr char errorDomain[] = "POSIX";
    // ENOENT: the item (or a folder on its path) does not exist.
    static constexpr qint64 missingItemCode = 2;

    virtual ~FileManager() = default;

    // The process-wide manager over the local file system.
    static std::shared_ptr<FileManager> standard();

    // Why a folder about to be emptied may not be; none when it may.
    using FolderJudge = std::function<std::optional<UnderlyingError>(const OpenFolder& folder)>;

    virtual bool exists(const QString& path) const = 0;
    // Creates the directory and any missing parents; an existing directory is success.
    virtual std::expected<void, UnderlyingError> createDirectory(const QString& path) = 0;
    // Names directly inside `directory`, hidden ones included, in no particular order.
    virtual std::expected<QStringList, UnderlyingError> directoryNames(const QString& directory) const = 0;
    // Opens the folder `path` names, following it when it is itself a link: where a folder of
    // the caller's leads is the caller's choice. What is done below it goes through the
    // descriptor, so the folder judged is the folder worked on.
    virtual std::expected<std::shared_ptr<const OpenFolder>, UnderlyingError> openFolder(const QString& path) const = 0;
    // Names directly inside an open folder, hidden ones included, in no particular order.
    virtual std::expected<std::vector<QByteArray>, UnderlyingError> namesIn(const OpenFolder& folder) const = 0;
    // Hands every item below `folder`, at any depth, to `visit`, in walk order: the items of a
    // folder, then those of its subfolders. Hidden items, and whatever lies inside hidden
    // folders, are left out. Each folder below it is opened relative to the one it was seen in
    // and never through a symbolic link, so a folder swapped for a link while the walk runs
    // leads it nowhere outside `folder`. At most `maxWalkFolders` folders are entered, which
    // bounds the descriptors a walk and the entries it handed out hold.
    static constexpr int maxWalkFolders = 64;
    virtual void walk(const std::shared_ptr<const OpenFolder>& folder, bool withLastAccess,
                      const std::function<void(WalkEntry)>& visit) const = 0;

    // Facts about the item itself (a symbolic link is not followed). The last-access stamp
    // is read only when `withLastAccess` is set.
    virtual std::expected<FileMetadata, UnderlyingError> metadata(const QString& path, bool withLastAccess) const = 0;
    // Opens the item once, neither following a symbolic link nor moving its access time,
    // and reads its facts (as `metadata` does; the last access only with `withLastAccess`),
    // then a regular file's content of at most `maxBytes`. The error is about the facts; the
    // content carries its own.
    virtual std::expected<FileRead, UnderlyingError> readFile(const QString& path, std::int64_t maxBytes,
                                                              bool withLastAccess) const = 0;

    // Creates `path`, which must not exist yet, and writes `data` into it.
    virtual std::expected<void, UnderlyingError> writeNewFile(const QString& path, const QByteArray& data) = 0;
    // Sets both stamps, whole seconds. With `onlyIf`, a file at `path` that is no longer
    // that inode is left alone (success).
    virtual std::expected<void, UnderlyingError> setStamps(const QString& path, const FileStamps& stamps,
                                                           std::optional<FileIdentity> onlyIf = std::nullopt) = 0;
    // Moves `from` over `to`, replacing it in one step.
    virtual std::expected<void, UnderlyingError> replace(const QString& from, const QString& to) = 0;
    // Moves `from` to `to` unless something is there already (EEXIST), in one step: of movers
    // racing for the same `to`, exactly one succeeds.
    virtual std::expected<void, UnderlyingError> moveWithoutReplacing(const QString& from, const QString& to) = 0;
    // Removes one file (or link, or empty folder) from the folder `path` names; the item
    // itself is never followed, and nothing is descended into.
    virtual std::expected<void, UnderlyingError> removeFile(const QString& path) = 0;
    // Removes an item a walk met (a file, a link or an empty folder) from the folder it was
    // seen in.
    virtual std::expected<void, UnderlyingError> removeEntry(const WalkEntry& entry) = 0;
    // Removes the item `path` names and, for a folder, everything inside it. A link or a file
    // is removed itself, wherever it leads. A folder is opened once, never through a link,
    // handed to `judge`, which may refuse it, then emptied through that descriptor, descending
    // as a walk does (a link met anywhere is removed, never followed), and removed. Folders
    // nested deeper than `maxTreeDepth` are left, and reported.
    static constexpr int maxTreeDepth = 64;
    virtual std::expected<void, UnderlyingError> removeTree(const QString& path, const FolderJudge& judge) = 0;
};

} // namespace Lumen
