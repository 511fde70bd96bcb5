#include "Lumen/cache/PosixFileFacts.h"

#include "Lumen/cache/PosixFileManager.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <optional>
#include <system_error>

#include <sys/xattr.h>

namespace Lumen::PosixFiles {

namespace {

Date dateFrom(const timespec& time)
{
    return Date(TimeInterval(static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9));
}

// The attribute's text, as `getAttribute` read it into `text`.
template <typename GetAttribute>
std::optional<Date> lastAccessFromAttribute(GetAttribute getAttribute)
{
    char text[64];
    const ssize_t length = getAttribute(text, sizeof text);
    if (length <= 0)
        return std::nullopt;
    double seconds = 0.0;
    const auto [end, error] = std::from_chars(text, text + length, seconds);
    if (error != std::errc() || end != text + length || !std::isfinite(seconds))
        return std::nullopt;
    return Date(TimeInterval(seconds));
}

} // namespace

UnderlyingError systemError(int code, const QString& path)
{
    return UnderlyingError(QString::fromLatin1(FileManager::errorDomain), code,
                           QString::fromStdString(std::generic_category().message(code)) + QStringLiteral(": ") + path);
}

std::unexpected<UnderlyingError> lastError(const QString& path)
{
    return std::unexpected(systemError(errno, path));
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

Date lastAccessOf(const QByteArray& attributePath, const struct stat& info, bool fromAttribute)
{
    if (fromAttribute) {
        const auto stamped = lastAccessFromAttribute([&](char* text, std::size_t size) {
            return ::lgetxattr(attributePath.constData(), PosixFileManager::lastAccessAttribute, text, size);
        });
        if (stamped)
            return *stamped;
    }
    return dateFrom(info.st_atim);
}

Date lastAccessOf(int descriptor, const struct stat& info, bool fromAttribute)
{
    if (fromAttribute) {
        const auto stamped = lastAccessFromAttribute([&](char* text, std::size_t size) {
            return ::fgetxattr(descriptor, PosixFileManager::lastAccessAttribute, text, size);
        });
        if (stamped)
            return *stamped;
    }
    return dateFrom(info.st_atim);
}

bool isHiddenName(const char* name)
{
    return name[0] == '.';
}

} // namespace Lumen::PosixFiles
