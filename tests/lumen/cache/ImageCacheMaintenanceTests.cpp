#include "CacheTestSupport.h"

#include "Lumen/cache/LumenNotifications.h"
#include "tests/support/ScopedEnvironmentVariable.h"

#include <QGuiApplication>

#include <cstdlib>

namespace {

using namespace Lumen;
using namespace Lumen::Testing;
using Tivrand::Testing::pumpEvents;
using Tivrand::Testing::waitUntil;

// The names of every cleaning notification, or a mark when a completion came first.
class NotificationLog {
public:
    NotificationLog()
    {
        m_connection = QObject::connect(&LumenNotifications::instance(), &LumenNotifications::lumenDidCleanDiskCache,
                                        &LumenNotifications::instance(),
                                        [this](const std::shared_ptr<ImageCache>&, const QVariantMap& info) {
                                            const QStringList cleaned = info.value(QString::fromLatin1(LumenNotifications::cleanedHashKey)).toStringList();
                                            names.push_back(completions > 0 ? QStringList{QStringLiteral("after completion")} : cleaned);
                                        });
    }
    ~NotificationLog() { QObject::disconnect(m_connection); }

    std::vector<QStringList> names;
    int completions = 0;

private:
    QMetaObject::Connection m_connection;
};

void storeFile(ImageCache& cache, const QString& key, StorageExpiration expiration, QByteArray bytes = "bytes")
{
    ASSERT_TRUE(storeFileAndWait(cache, key, expiration, std::move(bytes)).diskCacheResult.has_value());
}

QStringList hashes(ImageCache& cache, std::initializer_list<const char*> keys)
{
    QStringList names;
    for (const char* key : keys)
        names.push_back(*cache.hash(QString::fromLatin1(key)));
    return names;
}

// Runs a cleaning or clearing that takes a completion and waits for it on the main thread.
template <typename Operation>
void runToCompletion(Operation operation, NotificationLog* log = nullptr)
{
    Collected<bool> doneOnGuiThread;
    operation([&] {
        if (log)
            ++log->completions;
        doneOnGuiThread.handler()(Testing::onGuiThread());
    });
    EXPECT_TRUE(firstOf(doneOnGuiThread));
}

TEST_F(ImageCacheTest, ClearingEmptiesMemoryAtOnceAndDiskBeforeTheCompletion)
{
    const auto cache = makeFaultyCache();
    cache->store(bitmapImage(), std::nullopt, QStringLiteral("a"));
    drainIO(*cache);
    Collected<bool> clearedOnGuiThread;
    cache->clearCache([&] { clearedOnGuiThread.handler()(QDir(cache->diskStorage()->directoryPath()).isEmpty() && Testing::onGuiThread()); });
    EXPECT_FALSE(cache->memoryStorage()->isCached(QStringLiteral("a")));
    EXPECT_TRUE(firstOf(clearedOnGuiThread));

    // The completion comes also when the disk cannot be cleared or is gone.
    fileManager->fail(FileOperation::removeTree);
    runToCompletion([&](auto done) { cache->clearDiskCache(done); });
    fileManager->heal(FileOperation::removeTree);
    ASSERT_TRUE(QDir(cache->diskStorage()->directoryPath()).removeRecursively());
    runToCompletion([&](auto done) { cache->clearDiskCache(done); });
}

// Expired files go first, then the least recently used down to half the size limit; they are
// announced before the completion, unless a pass failed part way.
TEST_F(ImageCacheTest, CleaningAnnouncesEveryRemovedFileUnlessAPassFails)
{
    const auto cache = makeFaultyCache();
    storeFile(*cache, QStringLiteral("expired"), StorageExpiration::seconds(5), QByteArray(100, 'e'));
    for (const auto& [name, size] : {std::pair{"oldest", 400}, {"middle", 400}, {"newest", 300}}) {
        date.advance(1);
        storeFile(*cache, QString::fromLatin1(name), StorageExpiration::days(1), QByteArray(size, 'x'));
    }
    date.advance(10);
    DiskStorageConfig config = cache->diskStorage()->config();
    config.sizeLimit = 1000;
    cache->diskStorage()->setConfig(config);

    NotificationLog log;
    const QFuture<void> cleaned = cache->cleanExpiredCacheAsync();
    ASSERT_TRUE(waitUntil([&cleaned] { return cleaned.isFinished(); }));
    EXPECT_EQ(log.names.front(), hashes(*cache, {"expired", "oldest", "middle"}));

    storeFile(*cache, QStringLiteral("first"), StorageExpiration::seconds(5));
    storeFile(*cache, QStringLiteral("second"), StorageExpiration::seconds(5));
    date.advance(10);
    fileManager->fail(FileOperation::remove, EACCES, 1);
    runToCompletion([&](auto done) { cache->cleanExpiredDiskCache(done); }, &log);
    EXPECT_EQ(log.names.size(), 1U);
    // The file removed before the failure stays removed.
    EXPECT_EQ(QDir(cache->diskStorage()->directoryPath()).entryList(QDir::Files).size(), 2);
}

// A cache of a subclass, made without the library's factories, whose cleaning is its own.
class CountingCleaningCache final : public ImageCache {
public:
    explicit CountingCleaningCache(const ImageCache& model)
        : ImageCache(Passkey{}, model.memoryStorage(), model.diskStorage())
    {
    }
    void cleanExpiredDiskCache(Completion completionHandler = {}) override
    {
        ++cleanings;
        ImageCache::cleanExpiredDiskCache(std::move(completionHandler));
    }
    int cleanings = 0;
};

TEST_F(ImageCacheTest, LeavingTheActiveStateCleansTheDisk)
{
    auto cache = makeCache();
    const auto subclassed = std::make_shared<CountingCleaningCache>(*makeCache(QStringLiteral("subclassed")));
    auto released = makeCache(QStringLiteral("released"));
    storeFile(*cache, QStringLiteral("expiring"), StorageExpiration::seconds(5));
    storeFile(*cache, QStringLiteral("big"), StorageExpiration::days(1), QByteArray(600, 'b'));
    date.advance(10);
    DiskStorageConfig config = cache->diskStorage()->config();
    config.sizeLimit = 500;
    cache->diskStorage()->setConfig(config);
    released.reset();

    NotificationLog log;
    emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
    emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
    ASSERT_TRUE(waitUntil([&log] { return !log.names.empty(); }));
    EXPECT_EQ(log.names.front(), hashes(*cache, {"expiring", "big"}));
    EXPECT_EQ(subclassed->cleanings, 1);

    // Going on from inactive to hidden is no second departure from the active state.
    storeFile(*cache, QStringLiteral("expiring again"), StorageExpiration::seconds(5));
    date.advance(10);
    emit qGuiApp->applicationStateChanged(Qt::ApplicationHidden);
    // Runs after any cleaning the state change might have queued.
    runToCompletion([&](auto done) { cache->calculateDiskStorageSize([done](auto) { done(); }); });
    const QString expiringAgain = *cache->cachePath(QStringLiteral("expiring again"));
    EXPECT_TRUE(QFile::exists(expiringAgain));

    // A cache that is gone no longer listens.
    cache.reset();
    emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
    emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
    pumpEvents(std::chrono::milliseconds(50));
    EXPECT_TRUE(QFile::exists(expiringAgain));
}

// When the test below runs this program as its child, static initialization makes this cache,
// on this clock, before main() makes the application.
constexpr char earlyCacheRootVariable[] = "LUMEN_TEST_EARLY_CACHE_ROOT";
FakeDate earlyDate;
std::shared_ptr<ImageCache> earlyCache = []() -> std::shared_ptr<ImageCache> {
    const QString root = qEnvironmentVariable(earlyCacheRootVariable);
    if (root.isEmpty())
        return nullptr;
    return ImageCache::make(QStringLiteral("early"), root, {}, earlyDate.clock()).value_or(nullptr);
}();

bool earlyCacheCleansItself()
{
    const auto cache = std::move(earlyCache);
    if (!cache)
        return false;
    storeFile(*cache, QStringLiteral("expiring"), StorageExpiration::seconds(5));
    earlyDate.advance(10);
    NotificationLog log;
    emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
    emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
    return waitUntil([&log] { return !log.names.empty(); }) && log.names.front() == hashes(*cache, {"expiring"});
}

TEST(ImageCacheEarlyDeathTest, ACacheMadeBeforeTheApplicationCleansItselfToo)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QTemporaryDir root;
    Tivrand::Testing::ScopedEnvironmentVariable variable(earlyCacheRootVariable, root.path().toUtf8());
    EXPECT_EXIT(std::_Exit(earlyCacheCleansItself() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

} // namespace
