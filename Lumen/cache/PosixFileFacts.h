#pragma once

// What the POSIX file manager's parts share: errors, descriptors and the facts of an item.
#include "Lumen/cache/FileManager.h"

#include <QByteArray>
#include <QString>

#include <expected>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

namespace Lumen::PosixFiles {

UnderlyingError systemError(int code, const QString& path);
std::unexpected<UnderlyingError> lastError(const QString& path);

// Closes on every path out of a function.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    // Closes now, answering the close's own result (a late write error shows up here).
    int close() { return ::close(std::exchange(m_fd, -1)); }

private:
    int m_fd;
};

FileMetadata metadataFrom(const struct stat& info);

// The last access kept in the item's attribute (when `fromAttribute`), else its access time.
// `attributePath` names the item without following it, when it is a link.
Date lastAccessOf(const QByteArray& attributePath, const struct stat& info, bool fromAttribute);
// The same for an item open as `descriptor`.
Date lastAccessOf(int descriptor, const struct stat& info, bool fromAttribute);

bool isHiddenName(const char* name);

} // namespace Lumen::PosixFiles
