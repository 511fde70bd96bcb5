#include "Lumen/retrieval/RegularFileReading.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <optional>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Lumen {

namespace {

UnderlyingError systemError(int code, const QString& path)
{
    return fileError(code, QString::fromStdString(std::generic_category().message(code)) + QStringLiteral(": ") + path);
}

UnderlyingError tooLarge(const QString& path, qint64 size, qint64 sizeLimit)
{
    return fileError(EFBIG, QStringLiteral("File too large: %1 (%2 bytes; the limit is %3 bytes)")
                                .arg(path, QString::number(size), QString::number(sizeLimit)));
}

// Why the item is not readable as a regular file within the limit; none when it is.
std::optional<UnderlyingError> refusal(const struct stat& info, const QString& path, qint64 sizeLimit)
{
    if (S_ISDIR(info.st_mode))
        return systemError(EISDIR, path);
    if (!S_ISREG(info.st_mode))
        return fileError(EINVAL, QStringLiteral("Not a regular file: ") + path);
    if (info.st_size > sizeLimit)
        return tooLarge(path, info.st_size, sizeLimit);
    return std::nullopt;
}

std::expected<void, UnderlyingError> checkPath(const QString& path, qint64 sizeLimit)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::unexpected(systemError(errno, path));
    if (auto refused = refusal(info, path, sizeLimit))
        return std::unexpected(std::move(*refused));
    return {};
}

std::expected<QByteArray, UnderlyingError> readOpenFile(int file, const QString& path, qint64 sizeLimit)
{
    struct stat info {};
    if (::fstat(file, &info) != 0)
        return std::unexpected(systemError(errno, path));
    if (auto refused = refusal(info, path, sizeLimit))
        return std::unexpected(std::move(*refused));

    // One byte beyond the expected size is room enough to notice a file that grew meanwhile.
    QByteArray content(info.st_size + 1, Qt::Uninitialized);
    qint64 filled = 0;
    while (true) {
        if (filled == content.size()) {
            if (filled > sizeLimit)
                return std::unexpected(tooLarge(path, filled, sizeLimit));
            content.resize(std::min(filled * 2, sizeLimit + 1));
        }
        const ssize_t count = ::read(file, content.data() + filled, static_cast<size_t>(content.size() - filled));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return std::unexpected(systemError(errno, path));
        }
        if (count == 0)
            break;
        filled += count;
    }
    content.truncate(filled);
    return content;
}

} // namespace

UnderlyingError fileError(int code, QString message)
{
    return UnderlyingError(QStringLiteral("POSIX"), code, std::move(message));
}

std::expected<void, UnderlyingError> requireRegularFile(const QString& path)
{
    return checkPath(path, std::numeric_limits<qint64>::max());
}

std::expected<QByteArray, UnderlyingError> readRegularFile(const QString& path, qint64 sizeLimit)
{
    // Looked at before opening, so a device is never opened; checked again on the open file
    // in case the path was swapped in between. Non-blocking, so a swapped-in FIFO cannot hang.
    if (auto checked = checkPath(path, sizeLimit); !checked)
        return std::unexpected(std::move(checked.error()));

    const int file = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (file < 0)
        return std::unexpected(systemError(errno, path));
    auto content = readOpenFile(file, path, sizeLimit);
    ::close(file);
    return content;
}

} // namespace Lumen
