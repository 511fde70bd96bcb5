#pragma once

#include "Lumen/cache/FileManager.h"

namespace Lumen {

// The local file system through POSIX calls. The expiry is the modification time; the last
// access is kept in the extended attribute `lastAccessAttribute` (also mirrored in the
// access time), because other programs reading a file move its access time but not its
// extended attributes. Where extended attributes are unsupported, the access time alone
// carries the last access, and reads here never move it.
class PosixFileManager final : public FileManager {
public:
    static constexpr char lastAccessAttribute[] = "user.lumen.access";

    enum class LastAccessStore { extendedAttribute, accessTimeOnly };
    // How a move refuses to replace: a rename told not to, or, where the file system refuses
    // that, a hard link at the target (which fails when the name exists) and then an unlink.
    enum class NoReplaceMove { renameNoReplace, linkThenUnlink };

    explicit PosixFileManager(LastAccessStore lastAccessStore = LastAccessStore::extendedAttribute,
                              NoReplaceMove noReplaceMove = NoReplaceMove::renameNoReplace)
        : m_lastAccessStore(lastAccessStore), m_noReplaceMove(noReplaceMove) {}

    bool exists(const QString& path) const override;
    std::expected<void, UnderlyingError> createDirectory(const QString& path) override;
    std::expected<QStringList, UnderlyingError> directoryNames(const QString& directory) const override;
    std::expected<std::shared_ptr<const OpenFolder>, UnderlyingError> openFolder(const QString& path) const override;
    std::expected<std::vector<QByteArray>, UnderlyingError> namesIn(const OpenFolder& folder) const override;
    void walk(const std::shared_ptr<const OpenFolder>& folder, bool withLastAccess,
              const std::function<void(WalkEntry)>& visit) const override;
    std::expected<FileMetadata, UnderlyingError> metadata(const QString& path, bool withLastAccess) const override;
    std::expected<FileRead, UnderlyingError> readFile(const QString& path, std::int64_t maxBytes,
                                                      bool withLastAccess) const override;
    std::expected<void, UnderlyingError> writeNewFile(const QString& path, const QByteArray& data) override;
    std::expected<void, UnderlyingError> setStamps(const QString& path, const FileStamps& stamps,
                                                   std::optional<FileIdentity> onlyIf) override;
    std::expected<void, UnderlyingError> replace(const QString& from, const QString& to) override;
    std::expected<void, UnderlyingError> moveWithoutReplacing(const QString& from, const QString& to) override;
    std::expected<void, UnderlyingError> removeFile(const QString& path) override;
    std::expected<void, UnderlyingError> removeEntry(const WalkEntry& entry) override;
    std::expected<void, UnderlyingError> removeTree(const QString& path, const FolderJudge& judge) override;

private:
    LastAccessStore m_lastAccessStore;
    NoReplaceMove m_noReplaceMove;
};

} // namespace Lumen
