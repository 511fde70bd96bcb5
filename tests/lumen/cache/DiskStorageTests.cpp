#include "DiskStorageTestSupport.h"

#include "Lumen/cache/DiskFileName.h"
#include "Lumen/foundation/Digest.h"

#include <gtest/gtest.h>

#include <QStandardPaths>

#include <latch>

namespace {

using namespace Lumen;
using namespace Lumen::Testing;

bool isMiss(const std::expected<std::optional<QByteArray>, LumenError>& answer)
{
    return answer && !*answer;
}

const QString iconKey = QStringLiteral("https://example.com/a/icon.png");

class DiskStorageTest : public ::testing::Test {
protected:
    DiskStorageConfig config(std::shared_ptr<FileManager> fileManager = nullptr)
    {
        return DiskStorageConfig(QStringLiteral("test"), 0, std::move(fileManager), root.path());
    }

    std::shared_ptr<DiskStorageBackend> make(DiskStorageConfig settings)
    {
        auto storage = DiskStorageBackend::make(std::move(settings), true, date.clock());
        drainQueues(*storage);
        return storage;
    }
    std::shared_ptr<DiskStorageBackend> make() { return make(config()); }

    FileMetadata stampsOf(const QString& path)
    {
        return *PosixFileManager().metadata(path, true);
    }

    QTemporaryDir root;
    FakeDate date;
};

TEST_F(DiskStorageTest, FileNames)
{
    DiskStorageConfig settings = config();
    const QString hashed = QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(diskCacheFileName(QStringLiteral("abc"), std::nullopt, settings), hashed);

    const QString iconHash = *diskCacheFileName(iconKey, std::nullopt, settings);
    EXPECT_EQ(iconHash.size(), 64);
    EXPECT_EQ(iconHash, iconHash.toLower());

    settings.autoExtAfterHashedFileName = true;
    EXPECT_EQ(diskCacheFileName(iconKey, std::nullopt, settings), iconHash + QStringLiteral(".png"));
    // The extension of the part before the processor suffix.
    const QString processed = iconKey + QStringLiteral("@com.vantrel.Lumen.Blur.v2");
    EXPECT_TRUE(diskCacheFileName(processed, std::nullopt, settings)->endsWith(QStringLiteral(".png")));
    // An automatic extension that would leave the directory is dropped.
    const QString nested = QStringLiteral("archive.tar/inner");
    EXPECT_EQ(diskCacheFileName(nested, std::nullopt, settings), sha256Hex(nested));

    settings.pathExtension = QStringLiteral("jpg");
    EXPECT_EQ(diskCacheFileName(iconKey, std::nullopt, settings), iconHash + QStringLiteral(".jpg"));
    EXPECT_EQ(diskCacheFileName(iconKey, QStringLiteral("gif"), settings), iconHash + QStringLiteral(".gif"));
    EXPECT_EQ(diskCacheFileName(iconKey, QStringLiteral("../x"), settings), std::nullopt);

    settings.usesHashedFileName = false;
    settings.pathExtension.reset();
    EXPECT_EQ(diskCacheFileName(QStringLiteral("plain"), std::nullopt, settings), QStringLiteral("plain"));
    EXPECT_EQ(diskCacheFileName(QStringLiteral("plain"), QStringLiteral("png"), settings), QStringLiteral("plain.png"));
}

TEST_F(DiskStorageTest, UnhashedNamesNeverLeaveTheDirectory)
{
    DiskStorageConfig settings = config();
    settings.usesHashedFileName = false;
    auto storage = make(settings);
    for (const QString& key : {QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("../escape"),
                               QStringLiteral("a/b"), QStringLiteral("nul\0byte")}) {
        EXPECT_EQ(storage->cacheFileName(key), std::nullopt) << key.toStdString();
        const auto stored = storage->store("x", key);
        ASSERT_FALSE(stored);
        EXPECT_TRUE(stored.error().reasonAs<LumenError::CacheErrorReason::CannotCreateCacheFile>());
        EXPECT_TRUE(isMiss(storage->value(key, std::nullopt, ExpirationExtending::none())));
        EXPECT_FALSE(storage->remove(key));
    }
    EXPECT_EQ(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 1);
}

TEST_F(DiskStorageTest, DirectoryAndQueues)
{
    auto storage = make();
    EXPECT_EQ(storage->directoryPath(), root.path() + QStringLiteral("/com.vantrel.Lumen.ImageCache.test"));
    EXPECT_TRUE(QDir(storage->directoryPath()).exists());
    EXPECT_EQ(storage->propertyQueue()->label(), QStringLiteral("com.vantrel.lumen.DiskStorage.Backend.propertyQueue"));
    EXPECT_EQ(storage->maybeCachedCheckingQueue()->label(), QStringLiteral("com.vantrel.Lumen.maybeCachedCheckingQueue"));
    EXPECT_EQ(storage->metaChangingQueue()->label(), QStringLiteral("com.vantrel.Lumen.ImageCache.test"));

    DiskStorageConfig userCache(QStringLiteral("default"), 0);
    EXPECT_EQ(userCache.resolveDirectory(),
              QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
                  + QStringLiteral("/com.vantrel.Lumen.ImageCache.default"));

    DiskStorageConfig custom = config();
    custom.cachePathBlock = [](const QString& base, const QString& name) { return base + QStringLiteral("/x/") + name; };
    EXPECT_EQ(DiskStorageBackend::make(custom, false)->directoryPath(),
              root.path() + QStringLiteral("/x/com.vantrel.Lumen.ImageCache.test"));
}

TEST_F(DiskStorageTest, StampsAreWrittenRoundedUpAndSurviveForeignReads)
{
    for (const auto store : {PosixFileManager::LastAccessStore::extendedAttribute,
                             PosixFileManager::LastAccessStore::accessTimeOnly}) {
        auto storage = make(config(std::make_shared<PosixFileManager>(store)));
        date.set(100.4);
        ASSERT_TRUE(storage->store("bytes", iconKey, StorageExpiration::seconds(10)));
        const QString path = *storage->cacheFilePath(iconKey);

        FileMetadata meta = *PosixFileManager(store).metadata(path, true);
        EXPECT_EQ(meta.lastAccess->time_since_epoch().count(), 101.0);
        EXPECT_EQ(meta.expiry->time_since_epoch().count(), 111.0);

        QFile other(path);
        ASSERT_TRUE(other.open(QIODevice::ReadOnly));
        EXPECT_EQ(other.readAll(), QByteArray("bytes"));
        other.close();
        EXPECT_EQ(storage->value(iconKey, date.now(), true, ExpirationExtending::none(), std::nullopt)->value(), "bytes");
        meta = *PosixFileManager(store).metadata(path, true);
        if (store == PosixFileManager::LastAccessStore::extendedAttribute) {
            EXPECT_EQ(meta.lastAccess->time_since_epoch().count(), 101.0);
        }
        EXPECT_EQ(meta.expiry->time_since_epoch().count(), 111.0);
        ASSERT_TRUE(storage->removeAll(true));
    }
}

TEST_F(DiskStorageTest, ExpiredStoreWritesNothing)
{
    auto storage = make();
    ASSERT_TRUE(storage->store("old", iconKey));
    ASSERT_TRUE(storage->store("new", iconKey, StorageExpiration::expired()));
    ASSERT_TRUE(storage->store("new", QStringLiteral("other"), StorageExpiration::days(0)));
    EXPECT_EQ(fileNamesIn(storage->directoryPath()).size(), 1U);
    EXPECT_EQ(storage->value(iconKey, std::nullopt, ExpirationExtending::none())->value(), "old");
}

TEST_F(DiskStorageTest, LookupExpiryBoundary)
{
    auto storage = make();
    date.set(1000);
    ASSERT_TRUE(storage->store("v", iconKey, StorageExpiration::seconds(60)));
    const Date expiry(TimeInterval(1060));
    EXPECT_TRUE(isMiss(storage->value(iconKey, expiry, true, ExpirationExtending::none(), std::nullopt)));
    EXPECT_EQ(storage->value(iconKey, expiry - TimeInterval(1), true, ExpirationExtending::none(), std::nullopt)->value(),
              "v");
    EXPECT_FALSE(storage->isCached(iconKey, expiry, std::nullopt));
    EXPECT_TRUE(storage->isCached(iconKey, expiry - TimeInterval(1), std::nullopt));
}

TEST_F(DiskStorageTest, PresenceChecksLeaveStampsAlone)
{
    auto storage = make();
    ASSERT_TRUE(storage->store("content", iconKey, StorageExpiration::seconds(100)));
    const QString path = *storage->cacheFilePath(iconKey);
    const FileMetadata before = stampsOf(path);

    date.advance(50);
    const auto present = storage->value(iconKey, date.now(), false, ExpirationExtending::cacheTime(), std::nullopt);
    ASSERT_TRUE(present && *present);
    EXPECT_TRUE(present->value().isEmpty());
    EXPECT_TRUE(storage->isCached(iconKey));
    drainQueues(*storage);
    const FileMetadata after = stampsOf(path);
    EXPECT_EQ(after.lastAccess, before.lastAccess);
    EXPECT_EQ(after.expiry, before.expiry);
}

TEST_F(DiskStorageTest, HitsExtendTheStampsAfterwards)
{
    auto storage = make();
    date.set(1'000'000);
    ASSERT_TRUE(storage->store("a", QStringLiteral("cacheTime"), StorageExpiration::days(7)));
    ASSERT_TRUE(storage->store("b", QStringLiteral("expirationTime"), StorageExpiration::days(7)));
    ASSERT_TRUE(storage->store("c", QStringLiteral("none"), StorageExpiration::days(7)));

    date.advance(3 * 86400 + 0.5);
    ASSERT_TRUE(storage->value(QStringLiteral("cacheTime"), std::nullopt, ExpirationExtending::cacheTime()));
    ASSERT_TRUE(storage->value(QStringLiteral("expirationTime"), std::nullopt,
                               ExpirationExtending::expirationTime(StorageExpiration::seconds(10))));
    ASSERT_TRUE(storage->value(QStringLiteral("none"), std::nullopt, ExpirationExtending::none()));
    drainQueues(*storage);

    const double now = 1'000'000 + 3 * 86400 + 1; // rounded up
    FileMetadata meta = stampsOf(*storage->cacheFilePath(QStringLiteral("cacheTime")));
    EXPECT_EQ(meta.lastAccess->time_since_epoch().count(), now);
    EXPECT_EQ(meta.expiry->time_since_epoch().count(), now + 7 * 86400);
    meta = stampsOf(*storage->cacheFilePath(QStringLiteral("expirationTime")));
    EXPECT_EQ(meta.expiry->time_since_epoch().count(), now + 10);
    meta = stampsOf(*storage->cacheFilePath(QStringLiteral("none")));
    EXPECT_EQ(meta.lastAccess->time_since_epoch().count(), 1'000'000);
    EXPECT_EQ(meta.expiry->time_since_epoch().count(), 1'000'000 + 7 * 86400);
}

TEST_F(DiskStorageTest, LateExtensionLeavesANewerStoreAlone)
{
    auto storage = make();
    ASSERT_TRUE(storage->store("first", iconKey, StorageExpiration::seconds(100)));

    std::latch release(1);
    storage->metaChangingQueue()->async([&release] { release.wait(); });
    ASSERT_TRUE(storage->value(iconKey, std::nullopt, ExpirationExtending::cacheTime()));
    date.advance(5);
    ASSERT_TRUE(storage->store("second", iconKey, StorageExpiration::seconds(5000)));
    release.count_down();
    drainQueues(*storage);

    const FileMetadata meta = stampsOf(*storage->cacheFilePath(iconKey));
    EXPECT_EQ(*meta.expiry, date.now() + TimeInterval(5000));
    EXPECT_EQ(storage->value(iconKey, std::nullopt, ExpirationExtending::none())->value(), "second");
}

TEST_F(DiskStorageTest, GateAnswersFromTheListingAndLaterStores)
{
    auto storage = make();
    const QString foreign = *storage->cacheFilePath(QStringLiteral("placed later"));
    QFile file(foreign);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("x");
    file.close();
    ASSERT_TRUE(PosixFileManager().setStamps(foreign, FileStamps{date.now(), date.now() + TimeInterval(100)}, std::nullopt));

    EXPECT_FALSE(storage->isCached(QStringLiteral("placed later")));
    // A storage made anew lists it.
    EXPECT_TRUE(make()->isCached(QStringLiteral("placed later")));

    ASSERT_TRUE(storage->store("y", QStringLiteral("stored")));
    EXPECT_TRUE(storage->isCached(QStringLiteral("stored")));
}

TEST_F(DiskStorageTest, DirectoryDeletedFromOutsideIsMadeAgain)
{
    auto storage = make();
    ASSERT_TRUE(QDir(storage->directoryPath()).removeRecursively());
    ASSERT_TRUE(storage->store("back", iconKey));
    EXPECT_EQ(storage->value(iconKey, std::nullopt, ExpirationExtending::none())->value(), "back");
}

TEST_F(DiskStorageTest, RemovalsAndTheirErrors)
{
    auto storage = make();
    ASSERT_TRUE(storage->store("v", iconKey));
    ASSERT_TRUE(storage->remove(iconKey));
    EXPECT_FALSE(storage->isCached(iconKey));
    const auto missing = storage->remove(iconKey);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code(), FileManager::missingItemCode);

    ASSERT_TRUE(storage->store("v", iconKey));
    ASSERT_TRUE(storage->removeAll());
    EXPECT_TRUE(QDir(storage->directoryPath()).exists());
    EXPECT_TRUE(fileNamesIn(storage->directoryPath()).empty());

    ASSERT_TRUE(storage->removeAll(true));
    EXPECT_FALSE(QDir(storage->directoryPath()).exists());
    EXPECT_FALSE(storage->removeAll());
    EXPECT_FALSE(QDir(storage->directoryPath()).exists());
}

} // namespace
