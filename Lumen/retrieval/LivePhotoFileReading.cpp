#include "Lumen/retrieval/LivePhotoFileReading.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Lumen {

namespace {

LivePhotoError unreadable(const QString& path, const QString& why)
{
    return {LivePhotoError::Code::unreadableFile, path, QStringLiteral("The file ") + path + QLatin1Char(' ') + why};
}

QString systemErrorText(int error)
{
    return QString::fromStdString(std::generic_category().message(error));
}

} // namespace

std::expected<QByteArray, LivePhotoError> readFileStart(const QString& path, qint64 maxBytes, qint64 maxFileSize)
{
    // Non-blocking, so that opening a FIFO cannot hang before it is recognised and refused.
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0)
        return std::unexpected(unreadable(path, QStringLiteral("cannot be opened: ") + systemErrorText(errno)));
    QFile file;
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return std::unexpected(unreadable(path, QStringLiteral("cannot be opened: ") + file.errorString()));
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0)
        return std::unexpected(unreadable(path, QStringLiteral("cannot be examined: ") + systemErrorText(errno)));
    if (!S_ISREG(status.st_mode))
        return std::unexpected(unreadable(path, QStringLiteral("is not a regular file")));
    if (status.st_size > maxFileSize)
        return std::unexpected(unreadable(path, QStringLiteral("is larger than %1 bytes").arg(maxFileSize)));

    // Bounded by the size too, so a large limit never becomes a large allocation.
    QByteArray start = file.read(std::min<qint64>(maxBytes, status.st_size));
    if (file.error() != QFileDevice::NoError)
        return std::unexpected(unreadable(path, QStringLiteral("cannot be read: ") + file.errorString()));
    return start;
}

} // namespace Lumen
