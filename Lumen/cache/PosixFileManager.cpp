#include "Lumen/cache/PosixFileManager.h"

#include <QFile>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
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

namespace {

UnderlyingError systemError(int code, const QString& path)
{
    return UnderlyingError(QString::fromLatin1(FileManager::errorDomain), code,
                           QString::fromStdString(std::generic_category().message(code)) + QStringLiteral(": ") + path);
}

std::unexpected<UnderlyingError> lastError(const QString& path)
{
    return std::unexpected(systemError(errno, path));
}

Date dateFrom(const timespec& time)
{
    return Date(TimeInterval(static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9));
}

timespec timespecFrom(Date date)
{
    const double seconds = date.time_since_epoch().count();
    const double whole = std::floor(seconds);
    return timespec{static_cast<time_t>(whole), static_cast<long>((seconds - whole) * 1e9)};
}

// Closes on every path out of a function.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    // Closes now, answering the close's own result (a late write error shows up here).
    int close() { return ::close(std::exchange(m_fd, -1)); }

private:
    int m_fd;
};

// Opens for reading without moving the access time; that needs ownership, so a file of
// another user is opened plainly.
int openQuietly(const QByteArray& path, int flags = 0)
{
    int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOATIME | flags);
    if (fd < 0 && errno == EPERM)
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | flags);
    return fd;
}

FileMetadata metadataFrom(const struct stat& info)
{
    FileMetadata meta;
    meta.kind = S_ISREG(info.st_mode)   ? FileMetadata::Kind::regular
                : S_ISDIR(info.st_mode) ? FileMetadata::Kind::directory
                                        : FileMetadata::Kind::other;
    meta.size = static_cast<std::int64_t>(info.st_size);
    meta.expiry = dateFrom(info.st_mtim);
    meta.identity = FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
    return meta;
}

std::optional<Date> lastAccessFromAttribute(const QByteArray& path)
{
    char text[64];
    const ssize_t length = ::lgetxattr(path.constData(), PosixFileManager::lastAccessAttribute, text, sizeof text);
    if (length <= 0)
        return std::nullopt;
    double seconds = 0.0;
    const auto [end, error] = std::from_chars(text, text + length, seconds);
    if (error != std::errc() || end != text + length || !std::isfinite(seconds))
        return std::nullopt;
    return Date(TimeInterval(seconds));
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

bool isHiddenName(const char* name)
{
    return name[0] == '.';
}

std::expected<void, UnderlyingError> walk(const QString& directory, std::vector<QString>& found)
{
    DIR* const stream = ::opendir(QFile::encodeName(directory).constData());
    if (!stream)
        return lastError(directory);
    std::vector<QString> subdirectories;
    while (const dirent* entry = ::readdir(stream)) {
        if (isHiddenName(entry->d_name))
            continue;
        const QString path = directory + QLatin1Char('/') + QFile::decodeName(entry->d_name);
        found.push_back(path);
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            isDirectory = ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
        }
        if (isDirectory)
            subdirectories.push_back(path);
    }
    ::closedir(stream);
    // An unreadable subdirectory is listed but not entered.
    for (const QString& subdirectory : subdirectories)
        (void)walk(subdirectory, found);
    return {};
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

std::expected<std::vector<QString>, UnderlyingError> PosixFileManager::listRecursively(const QString& directory) const
{
    std::vector<QString> found;
    if (auto walked = walk(directory, found); !walked)
        return std::unexpected(walked.error());
    return found;
}

std::expected<FileMetadata, UnderlyingError> PosixFileManager::metadata(const QString& path, bool withLastAccess) const
{
    const QByteArray encoded = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(encoded.constData(), &info) != 0)
        return lastError(path);
    FileMetadata meta = metadataFrom(info);
    if (withLastAccess) {
        if (m_lastAccessStore == LastAccessStore::extendedAttribute)
            meta.lastAccess = lastAccessFromAttribute(encoded);
        if (!meta.lastAccess)
            meta.lastAccess = dateFrom(info.st_atim);
    }
    return meta;
}

std::expected<FileRead, UnderlyingError> PosixFileManager::readFile(const QString& path, std::int64_t maxBytes) const
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
    // the path is replaced meanwhile.
    FileDescriptor file(openQuietly(QFile::encodeName(path)));
    if (file.get() < 0)
        return lastError(path);
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

std::expected<void, UnderlyingError> PosixFileManager::removeFile(const QString& path)
{
    if (::remove(QFile::encodeName(path).constData()) != 0)
        return lastError(path);
    return {};
}

std::expected<void, UnderlyingError> PosixFileManager::removeTree(const QString& path)
{
    if (!exists(path))
        return std::unexpected(systemError(ENOENT, path));
    std::error_code error;
    std::filesystem::remove_all(std::filesystem::path(QFile::encodeName(path).toStdString()), error);
    if (error)
        return std::unexpected(systemError(error.value(), path));
    return {};
}

} // namespace Lumen
