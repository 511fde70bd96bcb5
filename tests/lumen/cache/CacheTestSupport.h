#pragma once

#include "Lumen/cache/ImageCache.h"
#include "Lumen/cache/PosixFileManager.h"
#include "Lumen/foundation/DispatchQueue.h"
#include "tests/lumen/imaging/TestImages.h"
#include "tests/lumen/foundation/FoundationTesting.h"
#include "tests/support/Collected.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <atomic>
#include <mutex>
#include <set>

namespace Lumen::Testing {

// Wall time that moves only when a test says so.
class FakeDate {
public:
    Date now() const { return Date(TimeInterval(m_seconds.load())); }
    void set(double secondsSince1970) { m_seconds.store(secondsSince1970); }
    void advance(double seconds) { m_seconds.store(m_seconds.load() + seconds); }
    StorageClock clock(std::shared_ptr<DispatchClock> timer = DispatchClock::system())
    {
        return StorageClock{[this] { return now(); }, std::move(timer)};
    }

private:
    std::atomic<double> m_seconds = 1'700'000'000.0;
};

// `list` opens a folder for a pass, `walk` walks it, `directoryNames` lists names.
enum class FileOperation { createDirectory, directoryNames, list, walk, metadata, read, write, setStamps, replace, remove, removeTree, count };

// The real file system, with any operation made to fail on demand.
class FaultyFileManager final : public FileManager {
    template <typename T>
    using Result = std::expected<T, UnderlyingError>;

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
    // Runs before every call of `operation`; set before the storage is used.
    void setBefore(FileOperation operation, std::function<void()> hook) { m_hooks[static_cast<int>(operation)] = std::move(hook); }

    bool exists(const QString& path) const override { return m_real.exists(path); }
    Result<void> createDirectory(const QString& p) override { return run(FileOperation::createDirectory, p, [&] { return m_real.createDirectory(p); }); }
    Result<QStringList> directoryNames(const QString& p) const override { return run(FileOperation::directoryNames, p, [&] { return m_real.directoryNames(p); }); }
    Result<std::shared_ptr<const OpenFolder>> openFolder(const QString& p) const override { return run(FileOperation::list, p, [&] { return m_real.openFolder(p); }); }
    Result<std::vector<QByteArray>> namesIn(const OpenFolder& f) const override { return run(FileOperation::directoryNames, f.path(), [&] { return m_real.namesIn(f); }); }
    // A walk cannot fail; a `metadata` fault fails the facts of each entry it meets.
    void walk(const std::shared_ptr<const OpenFolder>& f, bool withLastAccess, const std::function<void(WalkEntry)>& visit) const override
    {
        (void)check(FileOperation::walk, f->path());
        m_real.walk(f, withLastAccess, [&](WalkEntry entry) {
            if (auto allowed = check(FileOperation::metadata, entry.path()); !allowed)
                entry.metadata = std::unexpected(allowed.error());
            visit(std::move(entry));
        });
    }
    Result<FileMetadata> metadata(const QString& p, bool withLastAccess) const override { return run(FileOperation::metadata, p, [&] { return m_real.metadata(p, withLastAccess); }); }
    // A `metadata` fault fails the facts, a `read` fault the content.
    Result<FileRead> readFile(const QString& p, std::int64_t maxBytes, bool withLastAccess) const override
    {
        if (auto allowed = check(FileOperation::metadata, p); !allowed)
            return std::unexpected(allowed.error());
        auto found = m_real.readFile(p, maxBytes, withLastAccess);
        if (auto allowed = check(FileOperation::read, p); found && !allowed)
            found->content = std::unexpected(allowed.error());
        return found;
    }
    // A failing write leaves the first bytes of the file behind, as a full disk would.
    Result<void> writeNewFile(const QString& p, const QByteArray& data) override
    {
        if (auto allowed = check(FileOperation::write, p); !allowed) {
            (void)m_real.writeNewFile(p, data.left(3));
            return allowed;
        }
        return m_real.writeNewFile(p, data);
    }
    Result<void> setStamps(const QString& p, const FileStamps& s, std::optional<FileIdentity> onlyIf) override { return run(FileOperation::setStamps, p, [&] { return m_real.setStamps(p, s, onlyIf); }); }
    Result<void> replace(const QString& from, const QString& to) override { return run(FileOperation::replace, to, [&] { return m_real.replace(from, to); }); }
    Result<void> moveWithoutReplacing(const QString& from, const QString& to) override { return run(FileOperation::replace, to, [&] { return m_real.moveWithoutReplacing(from, to); }); }
    Result<void> removeFile(const QString& p) override { return run(FileOperation::remove, p, [&] { return m_real.removeFile(p); }); }
    Result<void> removeEntry(const WalkEntry& e) override { return run(FileOperation::remove, e.path(), [&] { return m_real.removeEntry(e); }); }
    Result<void> removeTree(const QString& p, const FolderJudge& judge) override { return run(FileOperation::removeTree, p, [&] { return m_real.removeTree(p, judge); }); }

private:
    struct Fault {
        int code;
        int afterCalls;
    };

    template <typename Operation>
    auto run(FileOperation operation, const QString& path, Operation operate) const -> decltype(operate())
    {
        if (auto allowed = check(operation, path); !allowed)
            return std::unexpected(allowed.error());
        return operate();
    }
    Result<void> check(FileOperation operation, const QString& path) const
    {
        if (const auto& hook = m_hooks[static_cast<int>(operation)])
            hook();
        std::lock_guard lock(m_mutex);
        auto& fault = m_faults[static_cast<int>(operation)];
        if (!fault || fault->afterCalls-- > 0)
            return {};
        return std::unexpected(UnderlyingError(QString::fromLatin1(errorDomain), fault->code, QStringLiteral("injected: ") + path));
    }

    PosixFileManager m_real;
    mutable std::mutex m_mutex;
    mutable std::optional<Fault> m_faults[static_cast<int>(FileOperation::count)];
    std::function<void()> m_hooks[static_cast<int>(FileOperation::count)];
};

inline void writeBytes(const QString& path, const QByteArray& bytes = {})
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

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

using Tivrand::Testing::Collected;

// The first value a completion handed over, pumping the GUI event loop until it comes.
template <typename T>
T firstOf(Collected<T>& collected)
{
    EXPECT_TRUE(collected.waitFor());
    return collected.at(0);
}

using Tivrand::Testing::encodedBitmap;

inline QByteArray pngBytes(QSize size = QSize(8, 6)) { return encodedBitmap(Tivrand::Testing::solidBitmap(size, Qt::red), "png"); }
inline ImagePtr bitmapImage(QSize size = QSize(8, 6), QColor color = Qt::red) { return Tivrand::Testing::solidImage(size, color); }

// Serializes nothing, so every disk step fails.
class MuteSerializer final : public CacheSerializer {
public:
    std::optional<QByteArray> data(const ImagePtr&, const std::optional<QByteArray>&) const override { return std::nullopt; }
    ImagePtr image(const QByteArray&, const LumenParsedOptionsInfo&) const override { return nullptr; }
    bool usesOriginalData() const override { return false; }
};

using Retrieved = std::expected<ImageCacheResult, LumenError>;

inline LumenParsedOptionsInfo untouchedOptions(LumenOptionsInfo items = {})
{
    items.push_back(Option::CallbackQueue{CallbackQueue::untouch()});
    return LumenParsedOptionsInfo(items);
}

inline Retrieved retrieve(ImageCache& cache, const QString& key, const LumenParsedOptionsInfo& options = untouchedOptions())
{
    Collected<Retrieved> result;
    cache.retrieveImage(key, options, CallbackQueue::untouch(), result.handler());
    return firstOf(result);
}

inline CacheStoreResult storeAndWait(ImageCache& cache, const ImagePtr& image, const QString& key,
                                     const LumenParsedOptionsInfo& options = untouchedOptions(),
                                     std::optional<QByteArray> original = std::nullopt)
{
    Collected<CacheStoreResult> result;
    cache.store(image, std::move(original), key, options, true, result.handler());
    return firstOf(result);
}

inline CacheStoreResult storeFileAndWait(ImageCache& cache, const QString& key, std::optional<StorageExpiration> expiration,
                                         QByteArray bytes = pngBytes())
{
    Collected<CacheStoreResult> result;
    cache.storeToDisk(std::move(bytes), key, QString(), std::nullopt, expiration, CallbackQueue::untouch(), result.handler());
    return firstOf(result);
}

// Runs after every job queued on the cache's I/O queue so far has finished; what a read does
// after leaving the queue (decoding, its completion) may still be running.
inline void drainIO(ImageCache& cache)
{
    (void)storeFileAndWait(cache, QStringLiteral("drain-marker"), StorageExpiration::expired(), "x");
}

// A temporary root, a wall clock the test moves, and a file manager whose operations can be made to fail.
class CacheFolderTest : public ::testing::Test {
protected:
    // Storage jobs may still read the time after the test body is over, so they share it.
    StorageClock clock() const
    {
        return StorageClock{[sharedDate = m_sharedDate] { return sharedDate->now(); }, DispatchClock::system()};
    }
    DiskStorageConfig diskConfig(std::uint64_t sizeLimit = 0) const
    {
        return DiskStorageConfig(QStringLiteral("test"), sizeLimit, fileManager, root.path());
    }
    std::shared_ptr<DiskStorageBackend> makeStorage(DiskStorageConfig config)
    {
        auto storage = DiskStorageBackend::make(std::move(config), true, clock());
        drainQueues(*storage);
        return storage;
    }

    QTemporaryDir root;
    std::shared_ptr<FakeDate> m_sharedDate = std::make_shared<FakeDate>();
    FakeDate& date = *m_sharedDate;
    std::shared_ptr<FaultyFileManager> fileManager = std::make_shared<FaultyFileManager>();
};

// A cache named "test" in the temporary root.
class ImageCacheTest : public CacheFolderTest {
protected:
    std::shared_ptr<ImageCache> makeCache(const QString& name = QStringLiteral("test"))
    {
        // A cache that cannot be made throws, which fails the test.
        auto made = ImageCache::make(name, root.path(), {}, clock()).value();
        m_diskStorages.push_back(made->diskStorage());
        m_caches.push_back(made);
        return made;
    }

    // A cache over a disk storage whose file operations can be made to fail.
    std::shared_ptr<ImageCache> makeFaultyCache()
    {
        DiskStorageConfig config = diskConfig();
        config.name = QStringLiteral("faulty");
        auto disk = makeStorage(config);
        m_diskStorages.push_back(disk);
        auto cache = ImageCache::make(ImageCache::MemoryStorage::make(MemoryStorageConfig(0, std::chrono::seconds(0)), clock()),
                                      std::move(disk));
        m_caches.push_back(cache);
        return cache;
    }

    // Stamp extensions queued by the test finish before its folder and clock go.
    void TearDown() override
    {
        // A job that ran a completion may still hold its cache for a moment, and the cache may
        // then end on a pool thread. Its storage, whose configuration shares the folder's path,
        // is held here from its start and released last, so that it ends on this thread before
        // the folder goes, after every other holder's release.
        for (const auto& weakCache : m_caches)
            EXPECT_TRUE(Tivrand::Testing::waitUntil([&weakCache] { return weakCache.expired(); }));
        for (const auto& storage : m_diskStorages) {
            drainQueues(*storage);
            EXPECT_TRUE(Tivrand::Testing::waitUntil([&storage] { return storage.use_count() == 1; }));
        }
        m_diskStorages.clear();
    }

    std::vector<std::shared_ptr<DiskStorageBackend>> m_diskStorages;
    std::vector<std::weak_ptr<ImageCache>> m_caches;
};

} // namespace Lumen::Testing
