#include "CacheTestSupport.h"

#include "tests/support/ScopedEnvironmentVariable.h"

#include <cstdio>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
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

// Clearing stops at its depth bound and says so, having removed what lies above it.
TEST_F(DiskStorageMaintenanceTest, ClearingATreeBeyondItsDepthBoundSaysSo)
{
    auto storage = make();
    QString deep = storage->directoryPath();
    for (int level = 0; level <= FileManager::maxTreeDepth + 1; ++level)
        deep += QStringLiteral("/d");
    ASSERT_TRUE(QDir().mkpath(deep));
    place(*storage, QStringLiteral("shallow"), 1, 0);
    const auto cleared = storage->removeAll();
    ASSERT_FALSE(cleared);
    EXPECT_EQ(cleared.error().code(), ENOTEMPTY);
    EXPECT_TRUE(cleared.error().message().contains(QStringLiteral("nested more than 64 deep")));
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
    fileManager->setBefore(FileOperation::walk, [&, walks = 0]() mutable {
        if (++walks == 2)
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

// The cache folder itself is swapped, again and again, between a folder of its own and a link
// to the home folder or to the root the cache was placed in, while a pass that removes runs:
// each pass judges the folder it opened and works only through it, so nothing outside goes,
// while the files of its own folder still do.
TEST_F(DiskStorageMaintenanceTest, PassesJudgeTheFolderTheyOpenedWhileTheCacheFolderIsSwapped)
{
    const QString home = root.filePath(QStringLiteral("home"));
    const Tivrand::Testing::ScopedEnvironmentVariable homeVariable("HOME", QFile::encodeName(home));
    const QString sibling = root.filePath(QStringLiteral("com.vantrel.Lumen.ImageCache.sibling"));
    constexpr int canaries = 25;
    for (const QString& folder : {home, sibling}) {
        QDir().mkpath(folder);
        for (int index = 0; index < canaries; ++index)
            writeBytes(folder + QStringLiteral("/canary-%1").arg(index), "x");
    }
    auto storage = make(1);
    const QByteArray folder = QFile::encodeName(storage->directoryPath());
    const QByteArray parked = QFile::encodeName(root.filePath(QStringLiteral("parked")));
    const auto kindOf = [](const QByteArray& path) {
        struct stat info {};
        return ::lstat(path.constData(), &info) == 0 ? info.st_mode & S_IFMT : 0;
    };
    const auto passes = {
        std::function([](DiskStorageBackend& storage) { (void)storage.removeAll(); }),
        std::function([](DiskStorageBackend& storage) { (void)storage.removeExpiredValues(distantFuture); }),
        std::function([](DiskStorageBackend& storage) { (void)storage.removeSizeExceededValues(); }),
    };
    for (const QString& target : {home, root.path()}) {
        for (const auto& pass : passes) {
            std::atomic<bool> stop = false;
            std::atomic<int> swaps = 0;
            int refilled = 0;
            std::thread swapper([&] {
                for (; !stop; ++swaps) {
                    // A folder of its own full of files in place, a link aside; then the two
                    // exchanged in one step, and back. What a pass removed is put back.
                    if (kindOf(folder) != S_IFDIR) {
                        (void)::unlink(folder);
                        (void)::mkdir(folder, 0700);
                    }
                    for (int index = 0; index < 3; ++index) {
                        const QByteArray file = folder + "/inside-" + QByteArray::number(index);
                        const int fd = kindOf(file) == 0 ? ::open(file, O_WRONLY | O_CREAT | O_CLOEXEC, 0600) : -1;
                        refilled += fd >= 0 && ::write(fd, "x", 1) == 1 ? 1 : 0;
                        if (fd >= 0)
                            ::close(fd);
                    }
                    if (kindOf(parked) == S_IFDIR)
                        QDir(QFile::decodeName(parked)).removeRecursively();
                    (void)::symlink(QFile::encodeName(target), parked);
                    (void)::renameat2(AT_FDCWD, folder, AT_FDCWD, parked, RENAME_EXCHANGE);
                    (void)::renameat2(AT_FDCWD, folder, AT_FDCWD, parked, RENAME_EXCHANGE);
                }
            });
            // Each round waits for a turn of the swapper, so the two keep running side by side.
            for (int round = 0; round < 500; ++round) {
                pass(*storage);
                for (const int seen = swaps; swaps == seen;)
                    std::this_thread::yield();
            }
            stop = true;
            swapper.join();
            EXPECT_EQ(QDir(home).entryList(QDir::Files).size(), canaries) << target.toStdString();
            EXPECT_EQ(QDir(sibling).entryList(QDir::Files).size(), canaries) << target.toStdString();
            EXPECT_GT(refilled, 3) << target.toStdString();
        }
    }
}

// A cache folder moved elsewhere and linked back is the user's choice: the sweeps follow it,
// while clearing removes the link, leaves where it led alone, and the next store makes the
// folder anew.
TEST_F(DiskStorageMaintenanceTest, ACacheFolderThatIsALinkIsSweptWhereItLeadsAndClearedByItself)
{
    auto storage = make();
    const QByteArray folder = QFile::encodeName(storage->directoryPath());
    const QString moved = root.filePath(QStringLiteral("moved"));
    ASSERT_EQ(::rename(folder, QFile::encodeName(moved)), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(moved), folder), 0);
    place(*storage, QStringLiteral("due"), 10, 0, 100);
    place(*storage, QStringLiteral("kept"), 10, 0);

    EXPECT_EQ(names(storage->removeExpiredValues(Date(TimeInterval(500)))), Names{QStringLiteral("due")});
    ASSERT_TRUE(storage->removeAll(true));
    EXPECT_FALSE(QFileInfo(storage->directoryPath()).isSymLink() || QFileInfo::exists(storage->directoryPath()));
    EXPECT_EQ(fileNamesIn(moved), NameSet{QStringLiteral("kept")});
    ASSERT_TRUE(storage->store("v", QStringLiteral("key")));
    EXPECT_FALSE(QFileInfo(storage->directoryPath()).isSymLink());
    EXPECT_EQ(fileNamesIn(storage->directoryPath()), NameSet{QStringLiteral("key")});
}
