#include "Lumen/cache/MemoryStorageBackend.h"
#include "Lumen/cache/MemoryStorageObject.h"
#include "Lumen/foundation/ManualDispatchClock.h"

#include "CacheTestSupport.h"

#include <QGuiApplication>

#include <algorithm>
#include <limits>
#include <thread>

namespace {

using namespace Lumen;
using Lumen::Testing::FakeDate;
using Tivrand::Testing::waitUntil;

struct Item {
    int id = 0;
    std::int64_t cost = 1;

    friend std::int64_t cacheCost(const Item& item) { return item.cost; }
};

using Storage = MemoryStorageBackend<Item>;
using Keys = std::vector<QString>;

QString key(const char* text)
{
    return QString::fromLatin1(text);
}

class MemoryStorageTest : public ::testing::Test {
protected:
    std::shared_ptr<Storage> make(std::int64_t costLimit = 0, double cleanInterval = 0.0)
    {
        return Storage::make(MemoryStorageConfig(costLimit, std::chrono::duration<double>(cleanInterval)), date.clock(timer));
    }

    FakeDate date;
    std::shared_ptr<ManualDispatchClock> timer = ManualDispatchClock::make();
};

TEST_F(MemoryStorageTest, ExpiryBoundaries)
{
    auto storage = make();
    storage->store(Item{1}, key("a"), StorageExpiration::seconds(10));
    // An already expired store keeps the older entry.
    storage->store(Item{2}, key("a"), StorageExpiration::expired());
    EXPECT_EQ(storage->value(key("a"), ExpirationExtending::none())->id, 1);
    // The expiration configured at store time counts, not the one configured later.
    storage->store(Item{4}, key("default"));
    auto config = storage->config();
    config.expiration = StorageExpiration::seconds(5);
    storage->setConfig(config);
    storage->store(Item{5}, key("short"));

    date.advance(9.999);
    ASSERT_TRUE(storage->isCached(key("a")));
    date.advance(0.001);
    EXPECT_FALSE(storage->value(key("a"), ExpirationExtending::cacheTime()));
    storage->removeExpired();
    EXPECT_EQ(storage->keys(), Keys{key("default")});
}

TEST_F(MemoryStorageTest, ReadsExtendAsAsked)
{
    auto storage = make();
    for (const char* name : {"cacheTime", "expirationTime", "back"})
        storage->store(Item{}, key(name), StorageExpiration::seconds(300));
    // A later cacheTime read goes back to the entry's own expiration, not the last extension.
    ASSERT_TRUE(storage->value(key("back"), ExpirationExtending::expirationTime(StorageExpiration::seconds(1000))));

    date.advance(200);
    ASSERT_TRUE(storage->value(key("cacheTime"), ExpirationExtending::cacheTime()));
    ASSERT_TRUE(storage->value(key("expirationTime"), ExpirationExtending::expirationTime(StorageExpiration::seconds(10))));
    ASSERT_TRUE(storage->value(key("back"), ExpirationExtending::cacheTime()));

    // A shorter extension wins over the longer remaining life.
    date.advance(10);
    EXPECT_FALSE(storage->isCached(key("expirationTime")));
    date.advance(289.9); // 299.9 s after the extending reads
    EXPECT_TRUE(storage->isCached(key("cacheTime")));
    EXPECT_TRUE(storage->isCached(key("back")));
}

TEST_F(MemoryStorageTest, RepeatingSweepDropsExpiredEntries)
{
    auto storage = make(0, 120);
    storage->store(Item{}, key("short"), StorageExpiration::seconds(60));
    storage->store(Item{}, key("long"), StorageExpiration::seconds(200));

    date.advance(60);
    timer->advance(std::chrono::seconds(120));
    ASSERT_TRUE(waitUntil([&] { return storage->keys() == Keys{key("long")}; }));

    // The next tick is scheduled once the first has run.
    ASSERT_TRUE(waitUntil([&] { return timer->pendingCount() == 1; }));
    date.advance(140);
    timer->advance(std::chrono::seconds(120));
    ASSERT_TRUE(waitUntil([&] { return storage->keys().empty(); }));
}

// A value costlier than the whole limit is refused before anything else is evicted, but the older
// value under its own key goes: memory must not answer it once a newer one was stored.
TEST_F(MemoryStorageTest, LimitsDropTheOldestStoresAndRefuseAValueCostlierThanTheWholeLimit)
{
    auto storage = make(100);
    storage->store(Item{1, 40}, key("a"));
    storage->store(Item{2, 40}, key("b"));
    storage->store(Item{3, 40}, key("c"));
    storage->store(Item{4, 101}, key("huge"));
    storage->store(Item{5, 101}, key("b"));
    EXPECT_FALSE(storage->isCached(key("b")));
    EXPECT_TRUE(storage->isCached(key("c")));

    // Storing again makes an entry the newest and replaces its cost.
    storage->store(Item{6, 10}, key("b"));
    storage->store(Item{7, 60}, key("d"));
    EXPECT_EQ(storage->totalCost(), 70);

    // New limits apply at once.
    storage->store(Item{8, 20}, key("e"));
    auto config = storage->config();
    config.countLimit = 2;
    storage->setConfig(config);
    auto keys = storage->keys();
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (Keys{key("d"), key("e")}));
}

TEST_F(MemoryStorageTest, SuspensionKeepsOnlyEntriesStoredForTheBackground)
{
    auto storage = make();
    storage->store(Item{1}, key("ordinary"));
    auto config = storage->config();
    config.keepWhenEnteringBackground = true;
    storage->setConfig(config);
    storage->store(Item{2}, key("kept"));

    emit qGuiApp->applicationStateChanged(Qt::ApplicationSuspended);
    EXPECT_EQ(storage->keys(), Keys{key("kept")});
    emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
}

TEST(BackgroundKeepingStorageObject, ContentIsAccessedUntilEndedAndCanBeDiscarded)
{
    BackgroundKeepingStorageObject<int> object(7, StorageExpiration::never(), Date());
    EXPECT_TRUE(object.accessing());
    object.endContentAccess();
    EXPECT_FALSE(object.accessing());
    EXPECT_TRUE(object.beginContentAccess());
    object.discardContentIfPossible();
    EXPECT_TRUE(object.isContentDiscarded());
    EXPECT_EQ(object.value(), std::nullopt);
    EXPECT_FALSE(object.beginContentAccess());
    EXPECT_FALSE(object.accessing());
}

TEST_F(MemoryStorageTest, TheTotalCostSaturatesAndComesBackExactly)
{
    constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();
    auto storage = make();
    storage->store(Item{1, largest}, key("a"));
    storage->store(Item{2, largest}, key("b"));
    storage->store(Item{3, 5}, key("c"));
    storage->remove(key("a"));
    EXPECT_EQ(storage->totalCost(), largest);
    storage->remove(key("b"));
    EXPECT_EQ(storage->totalCost(), 5);
}

TEST_F(MemoryStorageTest, ConcurrentStoresReadsAndSweeps)
{
    auto storage = make(400, 0);
    constexpr int rounds = 4000;
    std::atomic<int> mismatches = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < rounds; ++i) {
                const int id = (i * 7 + t) % 64;
                const QString name = QString::number(id);
                const int step = (i + t) % 5;
                if (step == 0)
                    storage->store(Item{id, 1 + id % 5}, name, StorageExpiration::seconds(1 + id % 3));
                else if (step == 1)
                    storage->remove(name);
                else if (step == 2)
                    storage->removeExpired();
                else if (const auto found = storage->value(name, ExpirationExtending::cacheTime()); found && found->id != id)
                    ++mismatches;
                if (t == 0 && i % 100 == 0)
                    date.advance(1);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_LE(storage->totalCost(), 400);
}

} // namespace
