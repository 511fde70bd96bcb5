#include "Lumen/cache/MemoryStorageBackend.h"
#include "Lumen/foundation/ManualDispatchClock.h"

#include "DiskStorageTestSupport.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace {

using namespace Lumen;
using Lumen::Testing::FakeDate;

struct Item {
    int id = 0;
    std::int64_t cost = 1;

    friend std::int64_t cacheCost(const Item& item) { return item.cost; }
};

using Storage = MemoryStorageBackend<Item>;

QString key(const char* text)
{
    return QString::fromLatin1(text);
}

std::vector<QString> sortedKeys(const Storage& storage)
{
    auto keys = storage.keys();
    std::sort(keys.begin(), keys.end());
    return keys;
}

class MemoryStorageTest : public ::testing::Test {
protected:
    std::shared_ptr<Storage> make(std::int64_t costLimit = 0, double cleanInterval = 0.0)
    {
        return Storage::make(MemoryStorageConfig(costLimit, std::chrono::duration<double>(cleanInterval)),
                             date.clock(timer));
    }

    FakeDate date;
    std::shared_ptr<ManualDispatchClock> timer = ManualDispatchClock::make();
};

TEST_F(MemoryStorageTest, EntryExpiresAtItsEstimatedMoment)
{
    auto storage = make();
    storage->store(Item{1}, key("a"), StorageExpiration::seconds(10));

    date.advance(9.999);
    ASSERT_TRUE(storage->isCached(key("a")));
    date.advance(0.001);
    EXPECT_FALSE(storage->isCached(key("a")));
    EXPECT_FALSE(storage->value(key("a"), ExpirationExtending::cacheTime()));
    // Expired but unswept entries stay until a sweep.
    EXPECT_EQ(storage->keys().size(), 1U);
    storage->removeExpired();
    EXPECT_TRUE(storage->keys().empty());
}

TEST_F(MemoryStorageTest, ExpiredStoreKeepsTheOlderEntry)
{
    auto storage = make();
    storage->store(Item{1}, key("a"));
    storage->store(Item{2}, key("a"), StorageExpiration::expired());
    storage->store(Item{3}, key("a"), StorageExpiration::seconds(0));

    const auto value = storage->value(key("a"), ExpirationExtending::none());
    ASSERT_TRUE(value);
    EXPECT_EQ(value->id, 1);
}

TEST_F(MemoryStorageTest, StoreUsesTheExpirationConfiguredAtStoreTime)
{
    auto storage = make();
    storage->store(Item{1}, key("default"));
    auto config = storage->config();
    config.expiration = StorageExpiration::seconds(5);
    storage->setConfig(config);
    storage->store(Item{2}, key("short"));

    date.advance(5);
    EXPECT_FALSE(storage->isCached(key("short")));
    EXPECT_TRUE(storage->isCached(key("default")));
    date.advance(295);
    EXPECT_FALSE(storage->isCached(key("default")));
}

TEST_F(MemoryStorageTest, ReadsExtendAsAsked)
{
    auto storage = make();
    for (const char* name : {"none", "cacheTime", "expirationTime", "checked"})
        storage->store(Item{}, key(name), StorageExpiration::seconds(300));

    date.advance(200);
    ASSERT_TRUE(storage->value(key("none"), ExpirationExtending::none()));
    ASSERT_TRUE(storage->value(key("cacheTime"), ExpirationExtending::cacheTime()));
    ASSERT_TRUE(storage->value(key("expirationTime"),
                               ExpirationExtending::expirationTime(StorageExpiration::seconds(10))));
    ASSERT_TRUE(storage->isCached(key("checked")));

    // A shorter extension wins over the longer remaining life.
    date.advance(10);
    EXPECT_FALSE(storage->isCached(key("expirationTime")));
    EXPECT_TRUE(storage->isCached(key("none")));

    date.advance(90); // 300 s after the store
    EXPECT_FALSE(storage->isCached(key("none")));
    EXPECT_FALSE(storage->isCached(key("checked")));
    EXPECT_TRUE(storage->isCached(key("cacheTime")));

    date.advance(199.9); // 499.9 s after the store, 299.9 s after the extending read
    EXPECT_TRUE(storage->isCached(key("cacheTime")));
    date.advance(0.1);
    EXPECT_FALSE(storage->isCached(key("cacheTime")));
}

TEST_F(MemoryStorageTest, CacheTimeGoesBackToTheEntrysOwnExpiration)
{
    auto storage = make();
    storage->store(Item{}, key("a"), StorageExpiration::seconds(100));
    ASSERT_TRUE(storage->value(key("a"), ExpirationExtending::expirationTime(StorageExpiration::seconds(1000))));
    date.advance(500);
    ASSERT_TRUE(storage->value(key("a"), ExpirationExtending::cacheTime()));
    date.advance(100);
    EXPECT_FALSE(storage->isCached(key("a")));
}

TEST_F(MemoryStorageTest, RepeatingSweepDropsExpiredEntries)
{
    auto storage = make(0, 120);
    storage->store(Item{}, key("short"), StorageExpiration::seconds(60));
    storage->store(Item{}, key("long"), StorageExpiration::seconds(200));

    date.advance(60);
    timer->advance(std::chrono::seconds(119));
    EXPECT_EQ(storage->keys().size(), 2U);
    timer->advance(std::chrono::seconds(1));
    ASSERT_TRUE(Tivrand::Testing::waitUntil([&] { return storage->keys().size() == 1; }));
    EXPECT_EQ(storage->keys().front(), key("long"));

    // The next tick is scheduled once the first has run.
    ASSERT_TRUE(Tivrand::Testing::waitUntil([&] { return timer->pendingCount() == 1; }));
    date.advance(140);
    timer->advance(std::chrono::seconds(120));
    ASSERT_TRUE(Tivrand::Testing::waitUntil([&] { return storage->keys().empty(); }));
}

TEST_F(MemoryStorageTest, CostLimitDropsTheOldestStores)
{
    auto storage = make(100);
    storage->store(Item{1, 40}, key("a"));
    storage->store(Item{2, 40}, key("b"));
    storage->store(Item{3, 40}, key("c"));
    EXPECT_EQ(sortedKeys(*storage), (std::vector<QString>{key("b"), key("c")}));
    EXPECT_EQ(storage->totalCost(), 80);
    EXPECT_FALSE(storage->isCached(key("a")));

    // Storing again makes an entry the newest and replaces its cost.
    storage->store(Item{4, 10}, key("b"));
    storage->store(Item{5, 60}, key("d"));
    EXPECT_EQ(sortedKeys(*storage), (std::vector<QString>{key("b"), key("d")}));
    EXPECT_EQ(storage->totalCost(), 70);
    EXPECT_EQ(storage->value(key("b"), ExpirationExtending::none())->id, 4);

    // A value costlier than the whole limit is not kept.
    storage->store(Item{6, 101}, key("huge"));
    EXPECT_FALSE(storage->isCached(key("huge")));
    EXPECT_LE(storage->totalCost(), 100);
}

TEST_F(MemoryStorageTest, NewLimitsApplyAtOnce)
{
    auto storage = make();
    for (const char* name : {"a", "b", "c", "d"})
        storage->store(Item{0, 10}, key(name));

    auto config = storage->config();
    config.countLimit = 3;
    storage->setConfig(config);
    EXPECT_EQ(sortedKeys(*storage), (std::vector<QString>{key("b"), key("c"), key("d")}));

    config.totalCostLimit = 15;
    storage->setConfig(config);
    EXPECT_EQ(sortedKeys(*storage), (std::vector<QString>{key("d")}));
    EXPECT_EQ(storage->totalCost(), 10);
}

TEST_F(MemoryStorageTest, RemovalsEmptyTheStorage)
{
    auto storage = make();
    storage->store(Item{0, 5}, key("a"));
    storage->store(Item{0, 7}, key("b"));
    storage->remove(key("a"));
    storage->remove(key("never stored"));
    EXPECT_FALSE(storage->isCached(key("a")));
    EXPECT_EQ(storage->totalCost(), 7);

    storage->removeAll();
    EXPECT_TRUE(storage->keys().empty());
    EXPECT_EQ(storage->totalCost(), 0);
    EXPECT_FALSE(storage->isCached(key("b")));
}

TEST_F(MemoryStorageTest, ConcurrentStoresReadsAndSweeps)
{
    auto storage = make(400, 0);
    constexpr int threadCount = 8;
    constexpr int rounds = 4000;
    std::atomic<int> mismatches = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < rounds; ++i) {
                const int id = (i * 7 + t) % 64;
                const QString name = QString::number(id);
                switch ((i + t) % 5) {
                case 0:
                    storage->store(Item{id, 1 + id % 5}, name, StorageExpiration::seconds(1 + id % 3));
                    break;
                case 1:
                    storage->remove(name);
                    break;
                case 2:
                    storage->removeExpired();
                    break;
                default:
                    if (const auto found = storage->value(name, ExpirationExtending::cacheTime()); found && found->id != id)
                        ++mismatches;
                }
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
