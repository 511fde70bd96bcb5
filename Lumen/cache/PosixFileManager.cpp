#include "Lumen/cache/PosixFileManager.h"

#include "Lumen/cache/PosixFileFacts.h"

#include <QFile>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace Lumen {

using namespace PosixFiles;

namespace {

timespec timespecFrom(Date date)
{
    const double seconds = date.time_since_epoch().count();
    const double whole = std::floor(seconds);
    return timespec{static_cast<time_t>(whole), static_cast<long>((seconds - whole) * 1e9)};
}

// Opens for reading without moving the access time; that needs ownership, so a file of
// another user is opened plainly.
int openQuietly(const QByteArray& path, int flags = 0)
{
    int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOATIME | flags);
    if (fd < 0 && errno == EPERM)
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | flags);
    return fd;
}

// Reads exactly `size` bytes, fewer only when the file ends sooner.
std::expected<QByteArray, UnderlyingError> readAll(int fd, qsizetype size, const QString& path)
{
    QByteArray content(size, Qt::Uninitialized);
    qsizetype filled = 0;
    while (filled < size) {
        const ssize_t count = ::read(fd, content.data() + filled, static_cast<size_t>(size - filled));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return lastError(path);
        }
        if (count == 0)
            break;
        filled += count;
    }
    content.truncate(filled);
    return content;
}

} // namespace

std::shared_ptr<FileManager> FileManager::standard()
{
    static const std::shared_ptr<FileManager> shared = std::make_shared<PosixFileManager>();
    return shared;
}

bool PosixFileManager::exists(const QString& path) const
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

std::expected<void, UnderlyingError> PosixFileManager::createDirectory(const QString& path)
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(QFile::encodeName(path).toStdString()), error);
    if (error)
        return std::unexpected(systemError(error.value(), path));
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return lastError(path);
    if (!S_ISDIR(info.st_mode))
        return std::unexpected(systemError(ENOTDIR, path));
    return {};
}

std::expected<QStringList, UnderlyingError> PosixFileManager::directoryNames(const QString& directory) const
{
    DIR* const stream = ::opendir(QFile::encodeName(directory).constData());
    if (!stream)
        return lastError(directory);
    QStringList names;
    while (const dirent* entry = ::readdir(stream)) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..")
            names.push_back(QFile::decodeName(entry->d_name));
    }
    ::closedir(stream);
    return names;
}

std::expected<FileMetadata, UnderlyingError> PosixFileManager::metadata(const QString& path, bool withLastAccess) const
{
    const QByteArray encoded = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(encoded.constData(), &info) != 0)
        return lastError(path);
    FileMetadata meta = metadataFrom(info);
    if (withLastAccess)
        meta.lastAccess = lastAccessOf(encoded, info, m_lastAccessStore == LastAccessStore::extendedAttribute);
    return meta;
}

std::expected<FileRead, UnderlyingError> PosixFileManager::readFile(const QString& path, std::int64_t maxBytes,
                                                                    bool withLastAccess) const
{
    // Not blocking keeps a FIFO put in the cache's place from hanging the open.
    FileDescriptor file(openQuietly(QFile::encodeName(path), O_NOFOLLOW | O_NONBLOCK));
    if (file.get() < 0) {
        const int openError = errno;
        if (openError == ENOENT || openError == ENOTDIR)
            return lastError(path);
        // What cannot be opened may still be looked at: a symbolic link, or a file this
        // user may not read.
        auto meta = metadata(path, false);
        if (!meta)
            return std::unexpected(std::move(meta).error());
        return FileRead{std::move(*meta), std::unexpected(systemError(openError, path))};
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0)
        return lastError(path);
    FileMetadata meta = metadataFrom(info);
    if (meta.kind != FileMetadata::Kind::regular)
        return FileRead{std::move(meta), QByteArray()};
    if (withLastAccess)
        meta.lastAccess = lastAccessOf(file.get(), info, m_lastAccessStore == LastAccessStore::extendedAttribute);
    if (info.st_size > maxBytes) {
        return FileRead{std::move(meta),
                        std::unexpected(UnderlyingError(
                            QString::fromLatin1(errorDomain), EFBIG,
                            QStringLiteral("The file holds %1 bytes, more than the %2 that may be read: %3")
                                .arg(QString::number(info.st_size), QString::number(maxBytes), path)))};
    }
    return FileRead{std::move(meta), readAll(file.get(), static_cast<qsizetype>(info.st_size), path)};
}

std::expected<void, UnderlyingError> PosixFileManager::writeNewFile(const QString& path, const QByteArray& data)
{
    FileDescriptor file(::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (file.get() < 0)
        return lastError(path);
    const char* next = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t count = ::write(file.get(), next, static_cast<size_t>(left));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return lastError(path);
        }
        next += count;
        left -= count;
    }
    if (file.close() != 0)
        return lastError(path);
    return {};
}

std::expected<void, UnderlyingError> PosixFileManager::setStamps(const QString& path, const FileStamps& stamps,
                                                                 std::optional<FileIdentity> onlyIf)
{
    // Working on one descriptor keeps the check and both stamps on the same inode, even when
    // the path is replaced meanwhile; not blocking and not following keep a FIFO or a link
    // swapped in from hanging the open or leading it elsewhere.
    FileDescriptor file(openQuietly(QFile::encodeName(path), O_NOFOLLOW | O_NONBLOCK));
    if (file.get() < 0) {
        // A link is no longer the file that was looked at.
        if (onlyIf && errno == ELOOP)
            return {};
        return lastError(path);
    }
    if (onlyIf) {
        struct stat info {};
        if (::fstat(file.get(), &info) != 0)
            return lastError(path);
        if (FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)} != *onlyIf)
            return {};
    }
    const timespec times[2] = {timespecFrom(stamps.lastAccess), timespecFrom(stamps.expiry)};
    if (::futimens(file.get(), times) != 0)
        return lastError(path);
    if (m_lastAccessStore == LastAccessStore::extendedAttribute) {
        char text[64];
        const auto [end, error] = std::to_chars(text, text + sizeof text, stamps.lastAccess.time_since_epoch().count());
        if (error != std::errc())
            return std::unexpected(systemError(EINVAL, path));
        if (::fsetxattr(file.get(), lastAccessAttribute, text, static_cast<size_t>(end - text), 0) != 0
            && errno != ENOTSUP)
            return lastError(path);
    }
    return {};
}

std::expected<void, UnderlyingError> PosixFileManager::replace(const QString& from, const QString& to)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return lastError(to);
    return {};
}

std::expected<void, UnderlyingError> PosixFileManager::moveWithoutReplacing(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (m_noReplaceMove == NoReplaceMove::renameNoReplace) {
        if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
            return {};
        // A file system without the flag answers EINVAL; anything else is the answer.
        if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
            return lastError(to);
    }
    if (::link(source.constData(), target.constData()) != 0)
        return lastError(to);
    // The entry is published; a temporary name left behind is cleared as stale later.
    (void)::unlink(source.constData());
    return {};
}

} // namespace Lumen
