#pragma once

#include "DiskStorageTestSupport.h"

#include "Lumen/cache/ImageCache.h"
#include "Lumen/foundation/DispatchQueue.h"
#include "tests/support/EventLoop.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace Lumen::Testing {

// A value handed over by a completion on any thread, with the thread it arrived on.
template <typename T>
class Captured {
public:
    void set(T value)
    {
        std::lock_guard lock(m_mutex);
        m_value = std::move(value);
        m_onMainThread = QThread::currentThread() == qApp->thread();
        ++m_count;
    }
    bool has() const
    {
        std::lock_guard lock(m_mutex);
        return m_value.has_value();
    }
    T get() const
    {
        std::lock_guard lock(m_mutex);
        return *m_value;
    }
    int count() const
    {
        std::lock_guard lock(m_mutex);
        return m_count;
    }
    bool onMainThread() const
    {
        std::lock_guard lock(m_mutex);
        return m_onMainThread;
    }
    // Pumps the GUI event loop until a value arrived.
    T wait() const
    {
        EXPECT_TRUE(Tivrand::Testing::waitUntil([this] { return has(); }));
        return get();
    }

private:
    mutable std::mutex m_mutex;
    std::optional<T> m_value;
    bool m_onMainThread = false;
    int m_count = 0;
};

inline QByteArray pngBytes(QSize size = QSize(8, 6), QColor color = Qt::red)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return bytes;
}

inline ImagePtr bitmapImage(QSize size = QSize(8, 6), QColor color = Qt::red)
{
    QImage bitmap(size, QImage::Format_ARGB32_Premultiplied);
    bitmap.fill(color);
    return Image::make(bitmap);
}

// Runs after every job queued on the cache's I/O queue so far has finished.
inline void drainIO(ImageCache& cache)
{
    Captured<bool> done;
    cache.storeToDisk(QByteArray("x"), QStringLiteral("drain-marker"), QString(), std::nullopt,
                      StorageExpiration::expired(), CallbackQueue::untouch(),
                      [&done](const CacheStoreResult&) { done.set(true); });
    done.wait();
}

// A cache named "test" in a temporary root, on a wall clock the test moves.
class ImageCacheTest : public ::testing::Test {
protected:
    std::shared_ptr<ImageCache> makeCache(const QString& name = QStringLiteral("test"))
    {
        auto made = ImageCache::make(name, root.path(), {}, clock());
        EXPECT_TRUE(made.has_value());
        if (!made)
            return nullptr;
        m_diskStorages.push_back((*made)->diskStorage());
        return *made;
    }

    // A cache over a disk storage whose file operations can be made to fail.
    std::shared_ptr<ImageCache> makeFaultyCache()
    {
        auto disk = DiskStorageBackend::make(
            DiskStorageConfig(QStringLiteral("faulty"), 0, fileManager, root.path()), true, clock());
        drainQueues(*disk);
        m_diskStorages.push_back(disk);
        auto memory = ImageCache::MemoryStorage::make(MemoryStorageConfig(0, std::chrono::seconds(0)), clock());
        return ImageCache::make(std::move(memory), std::move(disk));
    }

    // Stamp extensions queued by the test finish before its folder and clock go.
    void TearDown() override
    {
        for (const auto& weakStorage : m_diskStorages) {
            if (const auto storage = weakStorage.lock())
                drainQueues(*storage);
        }
    }

    // Storage jobs may still read the time after the test body is over, so they share it.
    StorageClock clock() const
    {
        return StorageClock{[sharedDate = m_sharedDate] { return sharedDate->now(); }, DispatchClock::system()};
    }

    QTemporaryDir root;
    std::shared_ptr<FakeDate> m_sharedDate = std::make_shared<FakeDate>();
    FakeDate& date = *m_sharedDate;
    std::vector<std::weak_ptr<DiskStorageBackend>> m_diskStorages;
    std::shared_ptr<FaultyFileManager> fileManager = std::make_shared<FaultyFileManager>();
};

} // namespace Lumen::Testing
