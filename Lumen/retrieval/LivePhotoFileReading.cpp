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

class FileDescriptor {
public:
    explicit FileDescriptor(int descriptor) : m_descriptor(descriptor) {}
    ~FileDescriptor()
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_descriptor; }

private:
    int m_descriptor;
};

LivePhotoError unreadable(const QString& path, const QString& why)
{
    return {LivePhotoError::Code::unreadableFile, path, QStringLiteral("The file ") + path + QLatin1Char(' ') + why};
}

QString systemErrorText(int error)
{
    return QString::fromStdString(std::generic_category().message(error));
}

} // namespace

std::expected<FileStart, LivePhotoError> readFileStart(const QString& path, qint64 maxBytes)
{
    // Non-blocking, so that opening a FIFO cannot hang before it is recognised and refused.
    const FileDescriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0)
        return std::unexpected(unreadable(path, QStringLiteral("cannot be opened: ") + systemErrorText(errno)));
    struct stat status {};
    if (::fstat(file.get(), &status) != 0)
        return std::unexpected(unreadable(path, QStringLiteral("cannot be examined: ") + systemErrorText(errno)));
    if (!S_ISREG(status.st_mode))
        return std::unexpected(unreadable(path, QStringLiteral("is not a regular file")));

    FileStart start;
    start.fileSize = status.st_size;
    start.bytes.resize(std::clamp<qint64>(start.fileSize, 0, maxBytes));
    qsizetype filled = 0;
    while (filled < start.bytes.size()) {
        const ssize_t count = ::read(file.get(), start.bytes.data() + filled, start.bytes.size() - filled);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return std::unexpected(unreadable(path, QStringLiteral("cannot be read: ") + systemErrorText(errno)));
        if (count == 0)
            break;
        filled += count;
    }
    start.bytes.truncate(filled);
    return start;
}

} // namespace Lumen
