#include "CacheTestSupport.h"

#include "Lumen/cache/DiskFileName.h"
#include "Lumen/foundation/Digest.h"
#include "Lumen/foundation/imaging/BitmapLimits.h"

#include <future>
#include <latch>
#include <thread>

#include <sys/stat.h>

namespace {

using namespace Lumen;
using namespace Lumen::Testing;

const QString iconKey = QStringLiteral("https://example.com/a/icon.png");

bool isMiss(const std::expected<std::optional<QByteArray>, LumenError>& answer)
{
    return answer && !*answer;
}

class DiskStorageTest : public CacheFolderTest {
protected:

    static FileMetadata stampsOf(const QString& path, PosixFileManager::LastAccessStore store = {})
    {
        return *PosixFileManager(store).metadata(path, true);
    }
    static double seconds(std::optional<Date> date) { return date->time_since_epoch().count(); }
    QByteArray read(DiskStorageBackend& storage, const QString& key = iconKey)
    {
        return storage.value(key, std::nullopt, ExpirationExtending::none())->value_or("miss");
    }
};

TEST_F(DiskStorageTest, FileNames)
{
    DiskStorageConfig settings = diskConfig();
    const QString iconHash = sha256Hex(iconKey);
    EXPECT_EQ(diskCacheFileName(iconKey, std::nullopt, settings), iconHash);

    settings.autoExtAfterHashedFileName = true;
    EXPECT_EQ(diskCacheFileName(iconKey, std::nullopt, settings), iconHash + QStringLiteral(".png"));
    // An automatic extension that would leave the directory is dropped.
    const QString nested = QStringLiteral("archive.tar/inner");
    EXPECT_EQ(diskCacheFileName(nested, std::nullopt, settings), sha256Hex(nested));

    settings.pathExtension = QStringLiteral("jpg");
    EXPECT_EQ(diskCacheFileName(iconKey, std::nullopt, settings), iconHash + QStringLiteral(".jpg"));
    EXPECT_EQ(diskCacheFileName(iconKey, QStringLiteral("../x"), settings), std::nullopt);
    EXPECT_EQ(diskCacheFileName(iconKey, QString(QChar(0xDBFF)), settings), std::nullopt);
}

// Each of these would leave the directory, hide from the sweeps or share a file with
// another key.
TEST_F(DiskStorageTest, UnusableUnhashedKeysAreRefused)
{
    DiskStorageConfig settings = diskConfig();
    settings.usesHashedFileName = false;
    auto storage = makeStorage(settings);
    for (const QString& key : {QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("../escape"),
                               QStringLiteral("a/b"), QStringLiteral("nul\0byte"), QStringLiteral(".hidden"),
                               QString(QChar(0xD800)), QStringLiteral("low ") + QChar(0xDC00)}) {
        SCOPED_TRACE(key.toStdString());
        EXPECT_EQ(storage->cacheFileName(key), std::nullopt);
        EXPECT_FALSE(storage->store("x", key));
        EXPECT_TRUE(isMiss(storage->value(key, std::nullopt, ExpirationExtending::none())));
        EXPECT_FALSE(storage->remove(key));
    }
    EXPECT_EQ(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 1);
}

// A name that would leave the folder, or a path block that answers a folder whose clearing
// would remove what is not the cache's own (the root, what holds it, the home folder, "/"), is
// refused, and clearing or sweeping such a cache touches nothing: not the root, not the files
// beside it, not another cache.
TEST_F(DiskStorageTest, CacheFoldersNeverHoldTheRootNorTheHomeFolder)
{
    writeBytes(root.filePath(QStringLiteral("sibling")));
    const QString inner = root.filePath(QStringLiteral("inner"));
    const auto answering = [](QString folder) {
        return [folder](const QString&, const QString&) { return folder; };
    };
    const struct { QString name; DiskStorageConfig::CachePathBlock block; } cases[] = {
        {QStringLiteral("x/../.."), {}}, {QStringLiteral("a/b"), {}}, {QStringLiteral("."), {}},
        {QStringLiteral(".."), {}}, {QStringLiteral("nul\0aliasing"), {}},
        {QStringLiteral("above the root"), [](const QString& base, const QString&) { return base + QStringLiteral("/.."); }},
        {QStringLiteral("the root"), answering(inner)}, {QStringLiteral("the home folder"), answering(QDir::homePath())},
        {QStringLiteral("/"), answering(QStringLiteral("/"))}, {QStringLiteral("relative"), answering(QStringLiteral("cache"))},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name.toStdString());
        DiskStorageConfig settings(test.block ? QStringLiteral("test") : test.name, 0, fileManager, inner);
        if (test.block)
            settings.cachePathBlock = test.block;
        const auto refused = DiskStorageBackend::makePrepared(settings, clock());
        EXPECT_EQ(refused.error().errorCode(), 3005);
        EXPECT_TRUE(refused.error().localizedDescription().contains(QStringLiteral("may not be used")) || !test.block);

        auto storage = makeStorage(settings);
        EXPECT_EQ(storage->store("v", iconKey).error().errorCode(), 3011);
        EXPECT_FALSE(storage->removeAll());
        EXPECT_FALSE(storage->remove(iconKey));
        const DiskSweepResult swept = storage->removeExpiredValues(distantFuture);
        EXPECT_TRUE(swept.error && swept.removed.empty());
    }
    EXPECT_EQ(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{QStringLiteral("sibling")});
}

// A folder that is a link to the root, planted before the storage is made or after, is the
// root all the same: sweeping it would empty the root. Clearing one planted later removes
// the link alone.
TEST_F(DiskStorageTest, CacheFoldersLinkedToTheRootAreRefused)
{
    const QString inner = root.filePath(QStringLiteral("inner"));
    ASSERT_TRUE(QDir().mkpath(inner));
    writeBytes(inner + QStringLiteral("/other"));
    const QString link = root.filePath(QStringLiteral("link"));
    for (const bool plantedLater : {false, true}) {
        SCOPED_TRACE(plantedLater);
        QFile::remove(link);
        QDir(link).removeRecursively();
        if (!plantedLater) {
            ASSERT_TRUE(QFile::link(inner, link));
        }
        DiskStorageConfig settings(QStringLiteral("test"), 0, fileManager, inner);
        settings.cachePathBlock = [link](const QString&, const QString&) { return link; };
        auto storage = makeStorage(settings);
        if (plantedLater) {
            ASSERT_TRUE(QDir(link).removeRecursively());
            ASSERT_TRUE(QFile::link(inner, link));
        }
        const DiskSweepResult swept = storage->removeExpiredValues(distantFuture);
        EXPECT_TRUE(swept.error && swept.removed.empty());
        EXPECT_EQ(storage->removeAll().has_value(), plantedLater);
        EXPECT_TRUE(QFile::exists(inner + QStringLiteral("/other")));
    }
}

// Configuration and gate take short locks of their own, so calls go on while the storage's
// queues are busy, as they are when every pool thread is taken.
TEST_F(DiskStorageTest, CallsNeverWaitForTheStorageQueues)
{
    auto storage = makeStorage(diskConfig());
    std::promise<void> finished;
    std::atomic<bool> finishedWhileHeld = false;
    storage->maybeCachedCheckingQueue()->async([&finishedWhileHeld, done = finished.get_future()] {
        finishedWhileHeld = done.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    });
    std::thread caller([&] {
        storage->setConfig(storage->config());
        EXPECT_TRUE(storage->store("v", iconKey));
        EXPECT_EQ(read(*storage), "v");
        finished.set_value();
    });
    caller.join();
    drainQueues(*storage);
    EXPECT_TRUE(finishedWhileHeld);
}

TEST_F(DiskStorageTest, StampsAreWrittenRoundedUpAndSurviveForeignReads)
{
    for (const auto store : {PosixFileManager::LastAccessStore::extendedAttribute, PosixFileManager::LastAccessStore::accessTimeOnly}) {
        SCOPED_TRACE(static_cast<int>(store));
        DiskStorageConfig settings = diskConfig();
        settings.fileManager = std::make_shared<PosixFileManager>(store);
        auto storage = makeStorage(settings);
        date.set(100.4);
        ASSERT_TRUE(storage->store("bytes", iconKey, StorageExpiration::seconds(10)));
        EXPECT_EQ(read(*storage), "bytes");
        const FileMetadata stamps = stampsOf(*storage->cacheFilePath(iconKey), store);
        if (store == PosixFileManager::LastAccessStore::extendedAttribute) {
            EXPECT_EQ(seconds(stamps.lastAccess), 101.0);
        }
        EXPECT_EQ(seconds(stamps.expiry), 111.0);
        ASSERT_TRUE(storage->removeAll(true));
    }
}

TEST_F(DiskStorageTest, ExpiryBoundaries)
{
    auto storage = makeStorage(diskConfig());
    date.set(1000);
    ASSERT_TRUE(storage->store("v", iconKey, StorageExpiration::seconds(60)));
    // An already expired store writes nothing and keeps the older file.
    ASSERT_TRUE(storage->store("new", iconKey, StorageExpiration::expired()));
    EXPECT_EQ(fileNamesIn(storage->directoryPath()).size(), 1U);

    const Date expiry(TimeInterval(1060));
    EXPECT_TRUE(isMiss(storage->value(iconKey, expiry, true, ExpirationExtending::none(), std::nullopt)));
    EXPECT_EQ(storage->value(iconKey, expiry - TimeInterval(1), true, ExpirationExtending::none(), std::nullopt)->value(), "v");
    EXPECT_FALSE(storage->isCached(iconKey, expiry, std::nullopt));
}

TEST_F(DiskStorageTest, OnlyLoadingHitsExtendTheStamps)
{
    auto storage = makeStorage(diskConfig());
    const double stored = 1'000'000, read = stored + 3 * 86400 + 1; // stamps round up
    const struct { const char* key; bool loading; ExpirationExtending extending; double lastAccess, expiry; } cases[] = {
        {"cacheTime", true, ExpirationExtending::cacheTime(), read, read + 7 * 86400},
        {"expirationTime", true, ExpirationExtending::expirationTime(StorageExpiration::seconds(10)), read, read + 10},
        {"none", true, ExpirationExtending::none(), stored, stored + 7 * 86400},
        {"presence", false, ExpirationExtending::cacheTime(), stored, stored + 7 * 86400},
    };
    date.set(stored);
    for (const auto& test : cases)
        ASSERT_TRUE(storage->store("a", QString::fromLatin1(test.key), StorageExpiration::days(7)));
    date.advance(3 * 86400 + 0.5);
    for (const auto& test : cases)
        ASSERT_TRUE(storage->value(QString::fromLatin1(test.key), date.now(), test.loading, test.extending, std::nullopt));
    drainQueues(*storage);
    for (const auto& test : cases) {
        SCOPED_TRACE(test.key);
        const FileMetadata stamps = stampsOf(*storage->cacheFilePath(QString::fromLatin1(test.key)));
        EXPECT_EQ(seconds(stamps.lastAccess), test.lastAccess);
        EXPECT_EQ(seconds(stamps.expiry), test.expiry);
    }
}

TEST_F(DiskStorageTest, LateExtensionLeavesANewerStoreAlone)
{
    auto storage = makeStorage(diskConfig());
    ASSERT_TRUE(storage->store("first", iconKey, StorageExpiration::seconds(100)));
    std::latch release(1);
    storage->metaChangingQueue()->async([&release] { release.wait(); });
    ASSERT_TRUE(storage->value(iconKey, std::nullopt, ExpirationExtending::cacheTime()));
    date.advance(5);
    ASSERT_TRUE(storage->store("second", iconKey, StorageExpiration::seconds(5000)));
    release.count_down();
    drainQueues(*storage);

    EXPECT_EQ(*stampsOf(*storage->cacheFilePath(iconKey)).expiry, date.now() + TimeInterval(5000));
    EXPECT_EQ(read(*storage), "second");
}

// What is swapped in for the file read before its stamps are set (between the look and the
// open) is left alone: a FIFO does not hang the open, a link does not lead it outside.
TEST_F(DiskStorageTest, StampsAreNeverSetThroughWhatReplacedTheFile)
{
    const QString outside = root.filePath(QStringLiteral("outside"));
    writeBytes(outside);
    const Date outsideExpiry = *stampsOf(outside).expiry;
    const QString fifo = root.filePath(QStringLiteral("fifo"));
    const QString link = root.filePath(QStringLiteral("link"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(outside, link));
    const FileIdentity readFile{1, 1};
    for (const QString& path : {fifo, link}) {
        SCOPED_TRACE(path.toStdString());
        auto stamped = std::async(std::launch::async, [&] {
            return PosixFileManager().setStamps(path, {date.now(), date.now() + TimeInterval(100)}, readFile);
        });
        const bool returned = stamped.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
        if (!returned) // lets the blocked open go, so that the test ends
            QFile(fifo).open(QIODevice::WriteOnly);
        EXPECT_TRUE(returned);
        EXPECT_TRUE(stamped.get());
    }
    EXPECT_EQ(*stampsOf(outside).expiry, outsideExpiry);
}

TEST_F(DiskStorageTest, GateAnswersFromTheListingAndLaterStores)
{
    fileManager->fail(FileOperation::directoryNames);
    auto unlisted = makeStorage(diskConfig());
    fileManager->heal(FileOperation::directoryNames);
    auto storage = makeStorage(diskConfig());
    const QString foreign = *storage->cacheFilePath(QStringLiteral("placed later"));
    writeBytes(foreign);
    ASSERT_TRUE(PosixFileManager().setStamps(foreign, FileStamps{date.now(), date.now() + TimeInterval(100)}, std::nullopt));

    EXPECT_FALSE(storage->isCached(QStringLiteral("placed later")));
    EXPECT_TRUE(makeStorage(diskConfig())->isCached(QStringLiteral("placed later")));
    // A storage whose listing failed knows nothing, so it asks the file system.
    EXPECT_TRUE(unlisted->isCached(QStringLiteral("placed later")));
    ASSERT_TRUE(storage->store("y", QStringLiteral("stored")));
    EXPECT_TRUE(storage->isCached(QStringLiteral("stored")));
}

TEST_F(DiskStorageTest, DirectoryCreationFailures)
{
    fileManager->fail(FileOperation::createDirectory, EACCES);
    EXPECT_EQ(DiskStorageBackend::makePrepared(diskConfig(), clock()).error().errorCode(), 3005);
    fileManager->heal(FileOperation::createDirectory);

    // A folder deleted from outside is made again on the next store.
    auto storage = makeStorage(diskConfig());
    ASSERT_TRUE(QDir(storage->directoryPath()).removeRecursively());
    ASSERT_TRUE(storage->store("back", iconKey));

    // When it cannot be made again, the storage turns unready for good.
    ASSERT_TRUE(QDir(storage->directoryPath()).removeRecursively());
    fileManager->fail(FileOperation::createDirectory, EROFS);
    EXPECT_EQ(storage->store("new value", iconKey).error().errorCode(), 3009);
    fileManager->heal(FileOperation::createDirectory);
    EXPECT_EQ(storage->value(iconKey, std::nullopt, ExpirationExtending::none()).error().errorCode(), 3011);
}

// Whatever step fails, no torn or leftover file appears and the old value stays.
TEST_F(DiskStorageTest, FailedStoresLeaveOnlyTheOldFile)
{
    const struct { const char* name; std::optional<FileOperation> failing; int code; DataWritingOptions options; int errorCode; } cases[] = {
        {"partial write", FileOperation::write, ENOSPC, {}, 3009},
        {"stamps", FileOperation::setStamps, EPERM, {}, 3010},
        {"rename", FileOperation::replace, EXDEV, {}, 3009},
        {"without overwriting", std::nullopt, EEXIST, DataWritingOption::withoutOverwriting, 3009},
    };
    auto storage = makeStorage(diskConfig());
    ASSERT_TRUE(storage->store("old value", iconKey));
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        if (test.failing)
            fileManager->fail(*test.failing, test.code);
        const auto stored = storage->store(QByteArray(4096, 'n'), iconKey, std::nullopt, test.options);
        ASSERT_FALSE(stored);
        EXPECT_EQ(stored.error().errorCode(), test.errorCode);
        EXPECT_EQ(fileNamesIn(storage->directoryPath()), std::set<QString>{*storage->cacheFileName(iconKey)});
        EXPECT_EQ(read(*storage), "old value");
        if (test.failing)
            fileManager->heal(*test.failing);
    }
}

// A file vanishing between the check and the read is a miss; an entry larger than any decode
// may allocate fails to load without being read.
TEST_F(DiskStorageTest, VanishedFilesAreMissesAndOversizedEntriesAreRefusedUnread)
{
    auto storage = makeStorage(diskConfig());
    ASSERT_TRUE(storage->store("old value", iconKey));
    const auto valueFailing = [&](FileOperation operation, int code) {
        fileManager->fail(operation, code);
        auto answer = storage->value(iconKey, std::nullopt, ExpirationExtending::cacheTime());
        fileManager->heal(operation);
        return answer;
    };
    EXPECT_TRUE(isMiss(valueFailing(FileOperation::read, FileManager::missingItemCode)));
    EXPECT_TRUE(isMiss(valueFailing(FileOperation::metadata, FileManager::missingItemCode)));
    EXPECT_EQ(valueFailing(FileOperation::read, EIO).error().errorCode(), 3004);
    EXPECT_EQ(valueFailing(FileOperation::metadata, EACCES).error().errorCode(), 3003);

    const QString path = *storage->cacheFilePath(iconKey);
    const FileMetadata stored = stampsOf(path);
    ASSERT_TRUE(QFile::resize(path, BitmapLimits::maxBitmapBytes + 1)); // sparse: costs no disk
    ASSERT_TRUE(PosixFileManager().setStamps(path, FileStamps{*stored.lastAccess, *stored.expiry}, std::nullopt));
    const auto found = storage->value(iconKey, std::nullopt, ExpirationExtending::cacheTime());
    ASSERT_FALSE(found);
    const auto* reason = found.error().reasonAs<LumenError::CacheErrorReason::CannotLoadDataFromDisk>();
    ASSERT_NE(reason, nullptr);
    EXPECT_EQ(reason->error.code(), EFBIG);
}

} // namespace
