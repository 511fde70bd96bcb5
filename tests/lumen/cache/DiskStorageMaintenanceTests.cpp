#include "CacheTestSupport.h"

#include <cstdio>
#include <thread>

#include <unistd.h>

namespace {

using namespace Lumen;
using namespace Lumen::Testing;
using Names = std::vector<QString>;
using NameSet = std::set<QString>;

class DiskStorageMaintenanceTest : public CacheFolderTest {
protected:
    std::shared_ptr<DiskStorageBackend> make(std::uint64_t sizeLimit = 0)
    {
        DiskStorageConfig config = diskConfig(sizeLimit);
        config.usesHashedFileName = false;
        return makeStorage(config);
    }

    // A file of `size` bytes, last accessed at `lastAccess`, expiring at `expiry`.
    static void place(const DiskStorageBackend& storage, const QString& relativePath, qsizetype size, double lastAccess,
                      double expiry = 4'000'000'000.0)
    {
        const QString path = storage.directoryPath() + QLatin1Char('/') + relativePath;
        QDir().mkpath(QFileInfo(path).path());
        writeBytes(path, QByteArray(size, 'x'));
        ASSERT_TRUE(PosixFileManager().setStamps(path, FileStamps{Date(TimeInterval(lastAccess)), Date(TimeInterval(expiry))},
                                                 std::nullopt));
    }

    static Names names(const DiskSweepResult& result)
    {
        Names fileNames;
        for (const QUrl& url : result.removed)
            fileNames.push_back(url.fileName());
        return fileNames;
    }
};

TEST_F(DiskStorageMaintenanceTest, ExpiredPassJudgesRegularFilesAtAnyDepth)
{
    auto storage = make();
    place(*storage, QStringLiteral("due"), 10, 0, 500);
    place(*storage, QStringLiteral("later"), 10, 0, 501);
    place(*storage, QStringLiteral("folder/nested-due"), 10, 0, 100);
    place(*storage, QStringLiteral(".hidden"), 10, 0, 100);

    const Date reference(TimeInterval(500));
    EXPECT_EQ(names(storage->removeExpiredValues(reference - TimeInterval(1))), Names{QStringLiteral("nested-due")});
    EXPECT_EQ(names(storage->removeExpiredValues(reference)), Names{QStringLiteral("due")});
    EXPECT_EQ(fileNamesIn(storage->directoryPath()), (NameSet{QStringLiteral(".hidden"), QStringLiteral("later")}));

    // An entry whose stamps cannot be read cannot be shown alive, so it goes.
    ASSERT_TRUE(QDir(storage->directoryPath() + QStringLiteral("/folder")).removeRecursively());
    fileManager->fail(FileOperation::metadata, EACCES);
    EXPECT_EQ(names(storage->removeExpiredValues()), Names{QStringLiteral("later")});
}

// Only above the limit, and then down to half of it, oldest access first; hidden files and
// folders are neither counted nor removed.
TEST_F(DiskStorageMaintenanceTest, SizePassRemovesLeastRecentlyAccessedDownToHalfTheLimit)
{
    auto storage = make(1000);
    place(*storage, QStringLiteral("a"), 499, 3);
    place(*storage, QStringLiteral("b"), 250, 1);
    place(*storage, QStringLiteral("c"), 250, 2);
    place(*storage, QStringLiteral(".hidden"), 5000, 0);
    QDir().mkpath(storage->directoryPath() + QStringLiteral("/empty folder"));
    EXPECT_TRUE(storage->removeSizeExceededValues().removed.empty());

    place(*storage, QStringLiteral("d"), 1, 4);
    EXPECT_EQ(names(storage->removeSizeExceededValues()), (Names{QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_TRUE(QDir(storage->directoryPath() + QStringLiteral("/empty folder")).exists());

    // Without a size limit there is nothing to list.
    fileManager->fail(FileOperation::list);
    EXPECT_EQ(make(0)->removeSizeExceededValues().removed, std::vector<QUrl>());
}

// A removal that fails ends the pass with its error, still reporting what went before; a file
// already gone counts as removed; a listing that fails is reported.
TEST_F(DiskStorageMaintenanceTest, FailedPassesStillReportWhatTheyRemoved)
{
    auto storage = make(1000);
    for (const char* name : {"a", "b", "c"})
        place(*storage, QString::fromLatin1(name), 400, name[0], 1);
    fileManager->fail(FileOperation::remove, EBUSY, 1);
    const DiskSweepResult failed = storage->removeExpiredValues();
    ASSERT_TRUE(failed.error);
    EXPECT_EQ(failed.removed.size(), 1U);

    fileManager->fail(FileOperation::remove, FileManager::missingItemCode);
    EXPECT_EQ(storage->removeExpiredValues().removed.size(), 2U);

    fileManager->fail(FileOperation::list);
    EXPECT_TRUE(storage->totalSize().error().reasonAs<LumenError::CacheErrorReason::FileEnumeratorCreationFailed>());
    const DiskSweepResult unlisted = storage->removeExpiredValues();
    ASSERT_TRUE(unlisted.error && unlisted.error->lumenError());
    EXPECT_EQ(unlisted.error->lumenError()->errorCode(), 3001);
}

TEST_F(DiskStorageMaintenanceTest, LeftoverTemporariesGoOnceStale)
{
    auto storage = make();
    fileManager->fail(FileOperation::replace);
    fileManager->fail(FileOperation::remove);
    ASSERT_FALSE(storage->store("v", QStringLiteral("key")));
    fileManager->heal(FileOperation::replace);
    fileManager->heal(FileOperation::remove);
    const NameSet leftovers = fileNamesIn(storage->directoryPath());
    ASSERT_EQ(leftovers.size(), 1U);

    date.advance(3000);
    (void)storage->removeExpiredValues();
    EXPECT_EQ(fileNamesIn(storage->directoryPath()), leftovers);
    date.advance(3000);
    EXPECT_TRUE(storage->removeExpiredValues().removed.empty());
    EXPECT_TRUE(fileNamesIn(storage->directoryPath()).empty());
}

// Another cache on the same folder, sweeping while a store is under way, neither removes
// nor reports the store's temporary.
TEST_F(DiskStorageMaintenanceTest, SweepsPassLiveTemporariesBy)
{
    auto storage = make();
    auto other = makeStorage(storage->config());
    DiskSweepResult midway;
    fileManager->setBefore(FileOperation::replace, [&] { midway = other->removeExpiredValues(distantFuture); });
    ASSERT_TRUE(storage->store("v", QStringLiteral("key")));
    EXPECT_TRUE(midway.removed.empty());
    EXPECT_EQ(fileNamesIn(storage->directoryPath()), NameSet{QStringLiteral("key")});
}

// A file written between the total and the listing can be larger than the total; the
// running size stops at zero instead of wrapping round and removing everything.
TEST_F(DiskStorageMaintenanceTest, RunningTotalNeverWrapsRound)
{
    auto storage = make(1000);
    place(*storage, QStringLiteral("a"), 600, 2);
    place(*storage, QStringLiteral("b"), 600, 3);
    fileManager->setBefore(FileOperation::list, [&, listings = 0]() mutable {
        if (++listings == 2)
            place(*storage, QStringLiteral("late"), 5000, 1);
    });
    EXPECT_EQ(names(storage->removeSizeExceededValues()), Names{QStringLiteral("late")});
    EXPECT_EQ(fileNamesIn(storage->directoryPath()), (NameSet{QStringLiteral("a"), QStringLiteral("b")}));
}

} // namespace

// A folder inside the cache is swapped for a link to a folder outside, again and again, while
// every pass that removes runs: each acts only on what its walk saw, relative to the folder it
// saw it in, so nothing outside is ever removed.
TEST_F(DiskStorageMaintenanceTest, PassesNeverFollowAFolderSwappedForALink)
{
    auto storage = make(1);
    const QString outside = root.filePath(QStringLiteral("outside"));
    const QStringList names{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    QDir().mkpath(outside);
    for (const QString& name : names)
        writeBytes(outside + QLatin1Char('/') + name, "x");
    const QByteArray inner = QFile::encodeName(storage->directoryPath() + QStringLiteral("/inner"));
    const QByteArray parked = QFile::encodeName(storage->directoryPath() + QStringLiteral("/.parked"));
    const QByteArray target = QFile::encodeName(outside);

    std::atomic<bool> stop = false;
    std::thread swapper([&] {
        while (!stop) {
            // A real folder full of files, then a link in its place, then the folder back.
            QDir().mkpath(QFile::decodeName(inner));
            for (const QString& name : names) {
                QFile file(QFile::decodeName(inner) + QLatin1Char('/') + name);
                (void)(file.open(QIODevice::WriteOnly) && file.write("x"));
            }
            (void)::rename(inner, parked);
            (void)::symlink(target, inner);
            (void)::unlink(inner);
            (void)::rename(parked, inner);
        }
    });
    for (int round = 0; round < 500; ++round) {
        (void)storage->removeExpiredValues(distantFuture);
        (void)storage->removeSizeExceededValues();
        (void)storage->removeAll();
    }
    stop = true;
    swapper.join();
    EXPECT_EQ(QDir(outside).entryList(QDir::Files), names);
}

// A cache folder moved elsewhere and linked back is the user's choice: it is swept and
// emptied where it leads, and the link stays.
TEST_F(DiskStorageMaintenanceTest, ACacheFolderThatIsALinkIsFollowed)
{
    auto storage = make();
    const QByteArray folder = QFile::encodeName(storage->directoryPath());
    const QString moved = root.filePath(QStringLiteral("moved"));
    ASSERT_EQ(::rename(folder, QFile::encodeName(moved)), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(moved), folder), 0);
    place(*storage, QStringLiteral("due"), 10, 0, 100);
    place(*storage, QStringLiteral("kept"), 10, 0);

    EXPECT_EQ(names(storage->removeExpiredValues(Date(TimeInterval(500)))), Names{QStringLiteral("due")});
    ASSERT_TRUE(storage->removeFile(storage->directoryPath() + QStringLiteral("/kept")));
    place(*storage, QStringLiteral("again"), 10, 0);
    ASSERT_TRUE(storage->removeAll());
    EXPECT_TRUE(QFileInfo(storage->directoryPath()).isSymLink());
    EXPECT_TRUE(fileNamesIn(moved).empty());
}
