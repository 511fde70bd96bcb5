#include "DiskStorageTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace Lumen;
using namespace Lumen::Testing;

const QString key = QStringLiteral("https://example.com/icon.png");

class DiskStorageFaultTest : public ::testing::Test {
protected:
    std::shared_ptr<DiskStorageBackend> make()
    {
        auto storage = DiskStorageBackend::make(
            DiskStorageConfig(QStringLiteral("faults"), 0, fileManager, root.path()), true, date.clock());
        drainQueues(*storage);
        return storage;
    }

    // Every file left in the directory holds the old value: nothing torn, no leftovers.
    void expectOnlyTheOldValue(DiskStorageBackend& storage)
    {
        EXPECT_EQ(fileNamesIn(storage.directoryPath()), std::set<QString>{*storage.cacheFileName(key)});
        EXPECT_EQ(storage.value(key, std::nullopt, ExpirationExtending::none())->value(), "old value");
    }

    QTemporaryDir root;
    FakeDate date;
    std::shared_ptr<FaultyFileManager> fileManager = std::make_shared<FaultyFileManager>();
};

TEST_F(DiskStorageFaultTest, FailedWriteLeavesNoPartialFile)
{
    auto storage = make();
    ASSERT_TRUE(storage->store("old value", key));
    fileManager->setPartialWriteBytes(3);
    fileManager->fail(FileOperation::write, ENOSPC);

    const auto stored = storage->store(QByteArray(4096, 'n'), key);
    ASSERT_FALSE(stored);
    const auto* reason = stored.error().reasonAs<LumenError::CacheErrorReason::CannotCreateCacheFile>();
    ASSERT_TRUE(reason);
    EXPECT_EQ(reason->error.code(), ENOSPC);
    EXPECT_EQ(reason->key, key);
    expectOnlyTheOldValue(*storage);
}

TEST_F(DiskStorageFaultTest, FailedStampsLeaveNoFile)
{
    auto storage = make();
    ASSERT_TRUE(storage->store("old value", key));
    fileManager->fail(FileOperation::setStamps, EPERM);

    const auto stored = storage->store("new value", key);
    ASSERT_FALSE(stored);
    EXPECT_TRUE(stored.error().reasonAs<LumenError::CacheErrorReason::CannotSetCacheFileAttribute>());
    EXPECT_EQ(stored.error().errorCode(), 3010);
    expectOnlyTheOldValue(*storage);
}

TEST_F(DiskStorageFaultTest, FailedRenameLeavesNoFile)
{
    auto storage = make();
    ASSERT_TRUE(storage->store("old value", key));
    fileManager->fail(FileOperation::replace, EXDEV);
    EXPECT_EQ(storage->store("new value", key).error().errorCode(), 3009);
    expectOnlyTheOldValue(*storage);
}

TEST_F(DiskStorageFaultTest, WithoutOverwritingKeepsTheExistingFile)
{
    auto storage = make();
    ASSERT_TRUE(storage->store("old value", key));
    EXPECT_EQ(storage->store("new value", key, std::nullopt, DataWritingOption::withoutOverwriting).error().errorCode(),
              3009);
    expectOnlyTheOldValue(*storage);
}

TEST_F(DiskStorageFaultTest, FileVanishingBeforeTheReadIsAMiss)
{
    auto storage = make();
    ASSERT_TRUE(storage->store("old value", key));
    fileManager->fail(FileOperation::read, FileManager::missingItemCode);
    const auto answer = storage->value(key, std::nullopt, ExpirationExtending::cacheTime());
    ASSERT_TRUE(answer);
    EXPECT_FALSE(*answer);

    fileManager->fail(FileOperation::read, EIO);
    EXPECT_EQ(storage->value(key, std::nullopt, ExpirationExtending::cacheTime()).error().errorCode(), 3004);

    fileManager->fail(FileOperation::metadata, EACCES);
    EXPECT_EQ(storage->value(key, std::nullopt, ExpirationExtending::cacheTime()).error().errorCode(), 3003);
    fileManager->fail(FileOperation::metadata, FileManager::missingItemCode);
    EXPECT_FALSE(*storage->value(key, std::nullopt, ExpirationExtending::cacheTime()));
}

TEST_F(DiskStorageFaultTest, DirectoryThatCannotBeMadeAgainMakesTheStorageUnready)
{
    auto storage = make();
    ASSERT_TRUE(storage->store("old value", key));
    ASSERT_TRUE(QDir(storage->directoryPath()).removeRecursively());
    fileManager->fail(FileOperation::createDirectory, EROFS);

    EXPECT_EQ(storage->store("new value", key).error().errorCode(), 3009);
    EXPECT_FALSE(storage->isStorageReady());
    fileManager->heal(FileOperation::createDirectory);
    EXPECT_EQ(storage->store("new value", key).error().errorCode(), 3011);
    EXPECT_EQ(storage->value(key, std::nullopt, ExpirationExtending::none()).error().errorCode(), 3011);
    EXPECT_FALSE(storage->isCached(key));
}

TEST_F(DiskStorageFaultTest, CreationFailures)
{
    fileManager->fail(FileOperation::createDirectory, EACCES);
    const auto refused = DiskStorageBackend::makePrepared(
        DiskStorageConfig(QStringLiteral("faults"), 0, fileManager, root.path()), date.clock());
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().errorCode(), 3005);

    auto unready = make();
    EXPECT_FALSE(unready->isStorageReady());
    EXPECT_EQ(unready->store("v", key).error().errorCode(), 3011);
}

TEST_F(DiskStorageFaultTest, FailedListingTurnsTheGateOff)
{
    fileManager->fail(FileOperation::directoryNames);
    auto storage = make();
    fileManager->heal(FileOperation::directoryNames);
    auto other = make();
    ASSERT_TRUE(other->store("old value", key));
    // The first storage knows nothing, so it asks the file system and finds the file.
    EXPECT_TRUE(storage->isCached(key));
}

} // namespace
