#pragma once

#include "Lumen/cache/DiskStorageBackend.h"
#include "Lumen/cache/PosixFileManager.h"
#include "Lumen/cache/StorageClock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <cerrno>
#include <memory>
#include <mutex>
#include <set>

namespace Lumen::Testing {

// Wall time that moves only when a test says so.
class FakeDate {
public:
    explicit FakeDate(double secondsSince1970 = 1'700'000'000.0) : m_seconds(secondsSince1970) {}

    Date now() const { return Date(TimeInterval(m_seconds.load())); }
    void set(double secondsSince1970) { m_seconds.store(secondsSince1970); }
    void advance(double seconds) { m_seconds.store(m_seconds.load() + seconds); }

    StorageClock clock(std::shared_ptr<DispatchClock> timer = DispatchClock::system())
    {
        return StorageClock{[this] { return now(); }, std::move(timer)};
    }

private:
    std::atomic<double> m_seconds;
};

enum class FileOperation { createDirectory, directoryNames, list, metadata, read, write, setStamps, replace, remove, removeTree };

// The real file system, with any operation made to fail on demand.
class FaultyFileManager final : public FileManager {
public:
    // Makes `operation` fail with `code`, from its `afterCalls`-th call on (0 = next call).
    void fail(FileOperation operation, int code = EIO, int afterCalls = 0)
    {
        std::lock_guard lock(m_mutex);
        m_faults[static_cast<int>(operation)] = Fault{code, afterCalls};
    }
    void heal(FileOperation operation)
    {
        std::lock_guard lock(m_mutex);
        m_faults[static_cast<int>(operation)].reset();
    }
    // A failing write leaves this many bytes of the file behind, as a full disk would.
    void setPartialWriteBytes(qsizetype count) { m_partialWriteBytes = count; }

    bool exists(const QString& path) const override { return m_real.exists(path); }
    std::expected<void, UnderlyingError> createDirectory(const QString& path) override
    {
        return guarded(FileOperation::createDirectory, path, [&] { return m_real.createDirectory(path); });
    }
    std::expected<QStringList, UnderlyingError> directoryNames(const QString& directory) const override
    {
        return guarded(FileOperation::directoryNames, directory, [&] { return m_real.directoryNames(directory); });
    }
    std::expected<std::vector<QString>, UnderlyingError> listRecursively(const QString& directory) const override
    {
        return guarded(FileOperation::list, directory, [&] { return m_real.listRecursively(directory); });
    }
    std::expected<FileMetadata, UnderlyingError> metadata(const QString& path, bool withLastAccess) const override
    {
        return guarded(FileOperation::metadata, path, [&] { return m_real.metadata(path, withLastAccess); });
    }
    std::expected<QByteArray, UnderlyingError> readFile(const QString& path) const override
    {
        return guarded(FileOperation::read, path, [&] { return m_real.readFile(path); });
    }
    std::expected<void, UnderlyingError> writeNewFile(const QString& path, const QByteArray& data) override
    {
        if (auto allowed = check(FileOperation::write, path); !allowed) {
            (void)m_real.writeNewFile(path, data.left(m_partialWriteBytes));
            return allowed;
        }
        return m_real.writeNewFile(path, data);
    }
    std::expected<void, UnderlyingError> setStamps(const QString& path, const FileStamps& stamps,
                                                   std::optional<FileIdentity> onlyIf) override
    {
        return guarded(FileOperation::setStamps, path, [&] { return m_real.setStamps(path, stamps, onlyIf); });
    }
    std::expected<void, UnderlyingError> replace(const QString& from, const QString& to) override
    {
        return guarded(FileOperation::replace, to, [&] { return m_real.replace(from, to); });
    }
    std::expected<void, UnderlyingError> removeFile(const QString& path) override
    {
        return guarded(FileOperation::remove, path, [&] { return m_real.removeFile(path); });
    }
    std::expected<void, UnderlyingError> removeTree(const QString& path) override
    {
        return guarded(FileOperation::removeTree, path, [&] { return m_real.removeTree(path); });
    }

private:
    template <typename Operation>
    auto guarded(FileOperation operation, const QString& path, Operation run) const -> decltype(run())
    {
        if (auto allowed = check(operation, path); !allowed)
            return std::unexpected(allowed.error());
        return run();
    }

    struct Fault {
        int code;
        int afterCalls;
    };

    std::expected<void, UnderlyingError> check(FileOperation operation, const QString& path) const
    {
        std::lock_guard lock(m_mutex);
        auto& fault = m_faults[static_cast<int>(operation)];
        if (!fault)
            return {};
        if (fault->afterCalls > 0) {
            --fault->afterCalls;
            return {};
        }
        return std::unexpected(UnderlyingError(QString::fromLatin1(errorDomain), fault->code, QStringLiteral("injected: ") + path));
    }

    PosixFileManager m_real;
    mutable std::mutex m_mutex;
    mutable std::optional<Fault> m_faults[10];
    qsizetype m_partialWriteBytes = 0;
};

// Names of the regular files directly inside `directory`, hidden ones included.
inline std::set<QString> fileNamesIn(const QString& directory)
{
    const QStringList names = QDir(directory).entryList(QDir::Files | QDir::Hidden);
    return {names.cbegin(), names.cend()};
}

// Waits for the storage's queued gate updates and stamp extensions.
inline void drainQueues(DiskStorageBackend& storage)
{
    (void)storage.maybeCachedCheckingQueue()->sync([] {});
    (void)storage.metaChangingQueue()->sync([] {});
}

} // namespace Lumen::Testing
