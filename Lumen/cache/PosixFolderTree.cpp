// The POSIX file manager's work on whole folders: walks and removals by directory descriptors,
// each item reached relative to the folder it was seen in and no link ever followed.
#include "Lumen/cache/PosixFileManager.h"

#include "Lumen/cache/PosixFileFacts.h"

#include <QFile>

#include <cerrno>
#include <vector>

#include <dirent.h>
#include <fcntl.h>

namespace Lumen {

using namespace PosixFiles;

namespace {

constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// The folder a caller names is its own choice, and may be a link (a cache moved to another
// disk); only what lies below it is never followed.
constexpr int namedFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// A listing of an open folder, read through a descriptor of its own so that the folder's
// stays open for the work that follows; null (errno set) when the folder cannot be read.
DIR* listingOf(int folder)
{
    const int reading = ::dup(folder);
    if (reading < 0)
        return nullptr;
    DIR* const stream = ::fdopendir(reading);
    if (!stream) {
        const int error = errno;
        ::close(reading);
        errno = error;
    }
    return stream;
}

// The names directly inside an open folder, "." and ".." left out.
std::expected<std::vector<QByteArray>, int> namesIn(int folder)
{
    DIR* const stream = listingOf(folder);
    if (!stream)
        return std::unexpected(errno);
    std::vector<QByteArray> names;
    while (const dirent* entry = ::readdir(stream)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(stream);
    return names;
}

// Removes the named item of an open folder: a file or a link, else an empty folder.
int removeIn(int folder, const QByteArray& name)
{
    if (::unlinkat(folder, name.constData(), 0) == 0)
        return 0;
    if (errno != EISDIR)
        return errno;
    return ::unlinkat(folder, name.constData(), AT_REMOVEDIR) == 0 ? 0 : errno;
}

// The folder holding `path` (opened with `flags` besides those of every folder), and the
// name of `path` inside it.
std::expected<std::pair<FileDescriptor, QByteArray>, UnderlyingError> openParent(const QString& path, int flags)
{
    const QByteArray encoded = QFile::encodeName(path);
    const qsizetype slash = encoded.lastIndexOf('/');
    const QByteArray name = encoded.mid(slash + 1);
    if (slash < 0 || name.isEmpty() || name == "." || name == "..")
        return std::unexpected(systemError(EINVAL, path));
    const QByteArray parent = slash == 0 ? QByteArray("/") : encoded.left(slash);
    FileDescriptor folder(::open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | flags));
    if (folder.get() < 0)
        return lastError(path);
    return std::pair(std::move(folder), name);
}

class Walk {
public:
    Walk(bool withLastAccess, bool attributeStore, const std::function<void(WalkEntry)>& visit)
        : m_withLastAccess(withLastAccess), m_attributeStore(attributeStore), m_visit(visit) {}

    // Visits the items of the folder as its listing goes, then enters its subfolders.
    void folder(const std::shared_ptr<const OpenFolder>& open)
    {
        DIR* const stream = listingOf(open->descriptor());
        // An unreadable folder is listed but not entered.
        if (!stream)
            return;
        std::vector<QByteArray> subfolders;
        while (const dirent* item = ::readdir(stream)) {
            if (isHiddenName(item->d_name))
                continue;
            WalkEntry entry{open, QByteArray(item->d_name), FileMetadata{}};
            struct stat info {};
            if (::fstatat(open->descriptor(), item->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
                entry.metadata = lastError(entry.path());
            } else {
                FileMetadata meta = metadataFrom(info);
                // The attribute is read through the open folder, which no swap can move.
                if (m_withLastAccess)
                    meta.lastAccess = lastAccessOf(
                        "/proc/self/fd/" + QByteArray::number(open->descriptor()) + '/' + entry.name, info, m_attributeStore);
                if (S_ISDIR(info.st_mode))
                    subfolders.push_back(entry.name);
                entry.metadata = std::move(meta);
            }
            m_visit(std::move(entry));
        }
        ::closedir(stream);
        for (const QByteArray& name : subfolders) {
            if (m_foldersLeft == 0)
                return;
            --m_foldersLeft;
            // A folder swapped for a link since it was looked at is not entered.
            const int descriptor = ::openat(open->descriptor(), name.constData(), folderFlags);
            if (descriptor >= 0)
                folder(std::make_shared<const OpenFolder>(descriptor, open->path() + QLatin1Char('/') + QFile::decodeName(name)));
        }
    }

private:
    bool m_withLastAccess;
    bool m_attributeStore;
    const std::function<void(WalkEntry)>& m_visit;
    int m_foldersLeft = FileManager::maxWalkFolders;
};

// Empties an open folder, depth first; answers the first error met, having removed what it could.
int emptyFolder(int folder, int depthLeft)
{
    const auto names = namesIn(folder);
    if (!names)
        return names.error();
    int firstError = 0;
    const auto note = [&firstError](int error) {
        if (firstError == 0)
            firstError = error;
    };
    for (const QByteArray& name : *names) {
        struct stat info {};
        if (::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                note(errno);
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            if (depthLeft == 0) {
                note(ELOOP);
                continue;
            }
            // What is no folder by now (a link swapped in) is removed like a file below.
            FileDescriptor inner(::openat(folder, name.constData(), folderFlags));
            if (inner.get() >= 0) {
                if (const int error = emptyFolder(inner.get(), depthLeft - 1); error != 0) {
                    note(error);
                    continue;
                }
            }
        }
        if (const int error = removeIn(folder, name); error != 0 && error != ENOENT)
            note(error);
    }
    return firstError;
}

} // namespace

OpenFolder::~OpenFolder()
{
    ::close(m_descriptor);
}

QString WalkEntry::path() const
{
    return folder->path() + QLatin1Char('/') + QFile::decodeName(name);
}

std::expected<void, UnderlyingError> PosixFileManager::walk(const QString& directory, bool withLastAccess,
                                                            const std::function<void(WalkEntry)>& visit) const
{
    const int descriptor = ::open(QFile::encodeName(directory).constData(), namedFolderFlags);
    if (descriptor < 0)
        return lastError(directory);
    Walk(withLastAccess, m_lastAccessStore == LastAccessStore::extendedAttribute, visit)
        .folder(std::make_shared<const OpenFolder>(descriptor, directory));
    return {};
}

std::expected<void, UnderlyingError> PosixFileManager::removeEntry(const WalkEntry& entry)
{
    if (const int error = removeIn(entry.folder->descriptor(), entry.name); error != 0)
        return std::unexpected(systemError(error, entry.path()));
    return {};
}

std::expected<void, UnderlyingError> PosixFileManager::removeFile(const QString& path)
{
    auto parent = openParent(path, 0);
    if (!parent)
        return std::unexpected(std::move(parent).error());
    if (const int error = removeIn(parent->first.get(), parent->second); error != 0)
        return std::unexpected(systemError(error, path));
    return {};
}

std::expected<void, UnderlyingError> PosixFileManager::removeTree(const QString& path)
{
    auto parent = openParent(path, 0);
    if (!parent)
        return std::unexpected(std::move(parent).error());
    const auto& [folder, name] = *parent;
    struct stat info {};
    if (::fstatat(folder.get(), name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return lastError(path);
    const bool isLink = S_ISLNK(info.st_mode);
    if (S_ISDIR(info.st_mode) || isLink) {
        FileDescriptor inner(::openat(folder.get(), name.constData(), namedFolderFlags));
        if (inner.get() >= 0) {
            if (const int error = emptyFolder(inner.get(), maxTreeDepth); error != 0)
                return std::unexpected(systemError(error, path));
            // A named folder that is a link is emptied where it leads and the link kept.
            if (isLink)
                return {};
        }
    }
    if (const int error = removeIn(folder.get(), name); error != 0)
        return std::unexpected(systemError(error, path));
    return {};
}

} // namespace Lumen
