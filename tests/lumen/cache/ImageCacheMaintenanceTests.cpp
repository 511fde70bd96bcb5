#include "ImageCacheTestSupport.h"

#include "Lumen/cache/LumenNotifications.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSignalSpy>

#include <set>

namespace {

using namespace Lumen;
using namespace Lumen::Testing;
using Tivrand::Testing::pumpEvents;
using Tivrand::Testing::waitUntil;

// Every cleaning notification, with what the main thread had seen of completions by then.
class NotificationLog {
public:
    NotificationLog()
    {
        m_connection = QObject::connect(&LumenNotifications::instance(), &LumenNotifications::lumenDidCleanDiskCache,
                                        &LumenNotifications::instance(),
                                        [this](const std::shared_ptr<ImageCache>& sender, const QVariantMap& info) {
                                            senders.push_back(sender);
                                            names.push_back(
                                                info.value(QString::fromLatin1(LumenNotifications::cleanedHashKey))
                                                    .toStringList());
                                            completionsBefore.push_back(completions);
                                        });
    }
    ~NotificationLog() { QObject::disconnect(m_connection); }

    std::vector<std::shared_ptr<ImageCache>> senders;
    std::vector<QStringList> names;
    std::vector<int> completionsBefore;
    int completions = 0;

private:
    QMetaObject::Connection m_connection;
};

void storeFile(ImageCache& cache, const QString& key, StorageExpiration expiration, QByteArray bytes = "bytes")
{
    Captured<CacheStoreResult> stored;
    cache.storeToDisk(std::move(bytes), key, QString(), std::nullopt, expiration, CallbackQueue::untouch(),
                      [&stored](CacheStoreResult result) { stored.set(std::move(result)); });
    ASSERT_TRUE(stored.wait().diskCacheResult.has_value());
}

TEST_F(ImageCacheTest, ClearCacheEmptiesMemoryAtOnceAndDiskBeforeTheCompletion)
{
    const auto cache = makeCache();
    cache->store(bitmapImage(), std::nullopt, QStringLiteral("a"));
    drainIO(*cache);

    Captured<bool> cleared;
    cache->clearCache([&] { cleared.set(QDir(cache->diskStorage()->directoryPath()).isEmpty()); });
    EXPECT_FALSE(cache->memoryStorage()->isCached(QStringLiteral("a")));
    EXPECT_TRUE(cleared.wait());
    EXPECT_TRUE(cleared.onMainThread());
}

TEST_F(ImageCacheTest, ClearDiskCacheCompletesEvenWhenItCannotClear)
{
    const auto cache = makeFaultyCache();
    fileManager->fail(FileOperation::removeTree);
    Captured<bool> done;
    cache->clearDiskCache([&done] { done.set(true); });
    EXPECT_TRUE(done.wait());

    fileManager->heal(FileOperation::removeTree);
    ASSERT_TRUE(QDir(cache->diskStorage()->directoryPath()).removeRecursively());
    Captured<bool> again;
    cache->clearDiskCache([&again] { again.set(true); });
    EXPECT_TRUE(again.wait());
}

TEST_F(ImageCacheTest, CleaningAnnouncesTheExpiredFilesBeforeItsCompletion)
{
    const auto cache = makeCache();
    storeFile(*cache, QStringLiteral("old-1"), StorageExpiration::seconds(10));
    storeFile(*cache, QStringLiteral("old-2"), StorageExpiration::seconds(20));
    storeFile(*cache, QStringLiteral("fresh"), StorageExpiration::days(1));
    date.advance(30);

    NotificationLog log;
    Captured<bool> done;
    cache->cleanExpiredDiskCache([&] {
        ++log.completions;
        done.set(true);
    });
    done.wait();
    EXPECT_TRUE(done.onMainThread());
    ASSERT_EQ(log.names.size(), 1U);
    EXPECT_EQ(log.senders.front(), cache);
    EXPECT_EQ(log.completionsBefore.front(), 0);
    const QStringList& names = log.names.front();
    EXPECT_EQ(std::set<QString>(names.cbegin(), names.cend()),
              (std::set<QString>{*cache->hash(QStringLiteral("old-1")), *cache->hash(QStringLiteral("old-2"))}));
    EXPECT_TRUE(cache->isCached(QStringLiteral("fresh")));

    // Nothing left to remove: no notification, the completion still comes.
    Captured<bool> second;
    cache->cleanExpiredDiskCache([&second] { second.set(true); });
    second.wait();
    pumpEvents(std::chrono::milliseconds(20));
    EXPECT_EQ(log.names.size(), 1U);
}

TEST_F(ImageCacheTest, CleaningTrimsToTheSizeLimitAfterTheExpiredFiles)
{
    const auto cache = makeCache();
    storeFile(*cache, QStringLiteral("expired"), StorageExpiration::seconds(5), QByteArray(100, 'e'));
    date.advance(1);
    storeFile(*cache, QStringLiteral("oldest"), StorageExpiration::days(1), QByteArray(400, 'o'));
    date.advance(1);
    storeFile(*cache, QStringLiteral("middle"), StorageExpiration::days(1), QByteArray(400, 'm'));
    date.advance(1);
    storeFile(*cache, QStringLiteral("newest"), StorageExpiration::days(1), QByteArray(300, 'n'));
    date.advance(10);
    DiskStorageConfig config = cache->diskStorage()->config();
    config.sizeLimit = 1000;
    cache->diskStorage()->setConfig(config);

    NotificationLog log;
    cache->cleanExpiredCacheAsync();
    ASSERT_TRUE(waitUntil([&log] { return !log.names.empty(); }));
    EXPECT_EQ(log.names.front(), (QStringList{*cache->hash(QStringLiteral("expired")),
                                              *cache->hash(QStringLiteral("oldest")),
                                              *cache->hash(QStringLiteral("middle"))}));
    EXPECT_TRUE(cache->isCached(QStringLiteral("newest")));
}

TEST_F(ImageCacheTest, FilesRemovedBeforeAFailureAreStillAnnounced)
{
    const auto cache = makeFaultyCache();
    storeFile(*cache, QStringLiteral("first"), StorageExpiration::seconds(5));
    storeFile(*cache, QStringLiteral("second"), StorageExpiration::seconds(5));
    date.advance(10);
    fileManager->fail(FileOperation::remove, EACCES, 1);

    NotificationLog log;
    Captured<bool> done;
    cache->cleanExpiredDiskCache([&done] { done.set(true); });
    done.wait();
    ASSERT_EQ(log.names.size(), 1U);
    ASSERT_EQ(log.names.front().size(), 1);
    const QStringList remaining = QDir(cache->diskStorage()->directoryPath()).entryList(QDir::Files);
    EXPECT_EQ(remaining.size(), 1);
    EXPECT_FALSE(remaining.contains(log.names.front().front()));
}

TEST_F(ImageCacheTest, DiskSizeIsMeasuredOnTheIOQueue)
{
    const auto cache = makeFaultyCache();
    Captured<std::expected<std::uint64_t, LumenError>> empty;
    cache->calculateDiskStorageSize([&empty](auto size) { empty.set(size); });
    EXPECT_EQ(empty.wait(), 0U);
    EXPECT_TRUE(empty.onMainThread());

    storeFile(*cache, QStringLiteral("a"), StorageExpiration::days(1), QByteArray(123, 'a'));
    storeFile(*cache, QStringLiteral("b"), StorageExpiration::days(1), QByteArray(77, 'b'));
    Captured<std::expected<std::uint64_t, LumenError>> filled;
    cache->calculateDiskStorageSize([&filled](auto size) { filled.set(size); });
    EXPECT_EQ(filled.wait(), 200U);

    fileManager->fail(FileOperation::list);
    Captured<std::expected<std::uint64_t, LumenError>> failed;
    cache->calculateDiskStorageSize([&failed](auto size) { failed.set(size); });
    const auto answer = failed.wait();
    ASSERT_FALSE(answer.has_value());
    EXPECT_EQ(answer.error().errorCode(), 3001);
}

TEST_F(ImageCacheTest, ExpiredMemoryEntriesAreSweptOnRequest)
{
    const auto cache = makeCache();
    cache->store(bitmapImage(), std::nullopt, QStringLiteral("short"),
                 LumenParsedOptionsInfo(LumenOptionsInfo{Option::MemoryCacheExpiration{StorageExpiration::seconds(1)}}),
                 false);
    cache->store(bitmapImage(), std::nullopt, QStringLiteral("long"), LumenParsedOptionsInfo(), false);
    date.advance(5);
    cache->cleanExpiredMemoryCache();
    EXPECT_EQ(cache->memoryStorage()->keys(), std::vector<QString>{QStringLiteral("long")});
    cache->clearMemoryCache();
    EXPECT_TRUE(cache->memoryStorage()->keys().empty());
}

TEST_F(ImageCacheTest, LeavingTheActiveStateCleansTheDisk)
{
    auto cache = makeCache();
    auto released = makeCache(QStringLiteral("released"));
    storeFile(*cache, QStringLiteral("expiring"), StorageExpiration::seconds(5));
    storeFile(*cache, QStringLiteral("big"), StorageExpiration::days(1), QByteArray(600, 'b'));
    date.advance(10);
    DiskStorageConfig config = cache->diskStorage()->config();
    config.sizeLimit = 500;
    cache->diskStorage()->setConfig(config);
    // The registration happens once the main thread runs it.
    pumpEvents(std::chrono::milliseconds(20));
    released.reset();

    NotificationLog log;
    emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
    pumpEvents(std::chrono::milliseconds(20));
    EXPECT_TRUE(log.names.empty());

    emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
    ASSERT_TRUE(waitUntil([&log] { return !log.names.empty(); }));
    EXPECT_EQ(log.names.front(),
              (QStringList{*cache->hash(QStringLiteral("expiring")), *cache->hash(QStringLiteral("big"))}));

    // A cache that is gone no longer listens.
    const QString directory = cache->diskStorage()->directoryPath();
    cache.reset();
    QFile stray(directory + QStringLiteral("/stray"));
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
    stray.close();
    emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
    pumpEvents(std::chrono::milliseconds(50));
    EXPECT_EQ(log.names.size(), 1U);
}

} // namespace
