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
// stays open for the work that follows, and opened anew through it, so that each listing of
// the same folder starts at its first entry; null (errno set) when the folder cannot be read.
DIR* listingOf(int folder)
{
    const int reading = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
std::expected<std::vector<QByteArray>, int> namesInFolder(int folder)
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

// Removes the named item of an open folder as `unlinkat` with `flags` does: 0 for a file or
// a link, AT_REMOVEDIR for an empty folder. Answers 0 or the error.
int removeIn(int folder, const QByteArray& name, int flags)
{
    return ::unlinkat(folder, name.constData(), flags) == 0 ? 0 : errno;
}

// Removes the named item of an open folder: a file or a link, else an empty folder.
int removeIn(int folder, const QByteArray& name)
{
    const int error = removeIn(folder, name, 0);
    return error == EISDIR ? removeIn(folder, name, AT_REMOVEDIR) : error;
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

// How emptying a folder went: the first error met, and whether folders too deep were left.
struct Emptying {
    int error = 0;
    bool leftTooDeep = false;

    bool failed() const { return error != 0 || leftTooDeep; }
    void note(const Emptying& inner)
    {
        if (error == 0)
            error = inner.error;
        leftTooDeep = leftTooDeep || inner.leftTooDeep;
    }
};

// Empties an open folder, depth first, having removed what it could.
Emptying emptyFolder(int folder, int depthLeft)
{
    const auto names = namesInFolder(folder);
    if (!names)
        return Emptying{names.error()};
    Emptying result;
    for (const QByteArray& name : *names) {
        struct stat info {};
        if (::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                result.note(Emptying{errno});
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            if (depthLeft == 0) {
                result.leftTooDeep = true;
                continue;
            }
            // What is no folder by now (a link swapped in) is removed like a file below.
            FileDescriptor inner(::openat(folder, name.constData(), folderFlags));
            if (inner.get() >= 0) {
                if (const Emptying emptied = emptyFolder(inner.get(), depthLeft - 1); emptied.failed()) {
                    result.note(emptied);
                    continue;
                }
            }
        }
        if (const int error = removeIn(folder, name); error != 0 && error != ENOENT)
            result.note(Emptying{error});
    }
    return result;
}

UnderlyingError emptyingError(const Emptying& emptying, const QString& path)
{
    if (emptying.error != 0)
        return systemError(emptying.error, path);
    return UnderlyingError(QString::fromLatin1(FileManager::errorDomain), ENOTEMPTY,
                           QStringLiteral("Folders nested more than %1 deep were left in place: %2")
                               .arg(FileManager::maxTreeDepth)
                               .arg(path));
}

} // namespace

OpenFolder::~OpenFolder()
{
    ::close(m_descriptor);
}

std::expected<FileIdentity, UnderlyingError> OpenFolder::identity() const
{
    struct stat info {};
    if (::fstat(m_descriptor, &info) != 0)
        return lastError(m_path);
    return metadataFrom(info).identity;
}

QString WalkEntry::path() const
{
    return folder->path() + QLatin1Char('/') + QFile::decodeName(name);
}

std::expected<std::shared_ptr<const OpenFolder>, UnderlyingError> PosixFileManager::openFolder(const QString& path) const
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), namedFolderFlags);
    if (descriptor < 0)
        return lastError(path);
    return std::make_shared<const OpenFolder>(descriptor, path);
}

std::expected<std::vector<QByteArray>, UnderlyingError> PosixFileManager::namesIn(const OpenFolder& folder) const
{
    auto names = namesInFolder(folder.descriptor());
    if (!names)
        return std::unexpected(systemError(names.error(), folder.path()));
    return std::move(*names);
}

void PosixFileManager::walk(const std::shared_ptr<const OpenFolder>& folder, bool withLastAccess,
                            const std::function<void(WalkEntry)>& visit) const
{
    Walk(withLastAccess, m_lastAccessStore == LastAccessStore::extendedAttribute, visit).folder(folder);
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

std::expected<void, UnderlyingError> PosixFileManager::removeTree(const QString& path, const FolderJudge& judge)
{
    auto parent = openParent(path, 0);
    if (!parent)
        return std::unexpected(std::move(parent).error());
    const auto& [folder, name] = *parent;
    // A link or a file goes itself, whatever it leads to; only a folder answers "is a directory".
    if (const int error = removeIn(folder.get(), name, 0); error != EISDIR) {
        if (error != 0)
            return std::unexpected(systemError(error, path));
        return {};
    }
    // A link swapped in since is refused here rather than followed.
    const int descriptor = ::openat(folder.get(), name.constData(), folderFlags);
    if (descriptor < 0)
        return lastError(path);
    const OpenFolder inner(descriptor, path);
    if (auto refusal = judge(inner))
        return std::unexpected(std::move(*refusal));
    if (const Emptying emptied = emptyFolder(inner.descriptor(), maxTreeDepth); emptied.failed())
        return std::unexpected(emptyingError(emptied, path));
    if (const int error = removeIn(folder.get(), name, AT_REMOVEDIR); error != 0)
        return std::unexpected(systemError(error, path));
    return {};
}

} // namespace Lumen
