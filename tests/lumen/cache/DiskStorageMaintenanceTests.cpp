#include "DiskStorageTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace Lumen;
using namespace Lumen::Testing;

class DiskStorageMaintenanceTest : public ::testing::Test {
protected:
    std::shared_ptr<DiskStorageBackend> make(std::uint64_t sizeLimit = 0)
    {
        DiskStorageConfig config(QStringLiteral("sweep"), sizeLimit, fileManager, root.path());
        config.usesHashedFileName = false;
        auto storage = DiskStorageBackend::make(config, true, date.clock());
        drainQueues(*storage);
        return storage;
    }

    // A file of `size` bytes, last accessed at `lastAccess`, expiring at `expiry`.
    void place(const DiskStorageBackend& storage, const QString& relativePath, qsizetype size, double lastAccess,
               double expiry = 4'000'000'000.0)
    {
        const QString path = storage.directoryPath() + QLatin1Char('/') + relativePath;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, 'x'));
        file.close();
        ASSERT_TRUE(PosixFileManager().setStamps(
            path, FileStamps{Date(TimeInterval(lastAccess)), Date(TimeInterval(expiry))}, std::nullopt));
    }

    static std::vector<QString> names(const DiskSweepResult& result)
    {
        std::vector<QString> fileNames;
        for (const QUrl& url : result.removed)
            fileNames.push_back(url.fileName());
        return fileNames;
    }

    QTemporaryDir root;
    FakeDate date;
    std::shared_ptr<FaultyFileManager> fileManager = std::make_shared<FaultyFileManager>();
};

TEST_F(DiskStorageMaintenanceTest, ExpiredPassJudgesRegularFilesAtAnyDepth)
{
    auto storage = make();
    place(*storage, QStringLiteral("due"), 10, 0, 500);
    place(*storage, QStringLiteral("later"), 10, 0, 501);
    place(*storage, QStringLiteral("folder/nested-due"), 10, 0, 100);
    place(*storage, QStringLiteral(".hidden"), 10, 0, 100);

    const Date reference(TimeInterval(500));
    EXPECT_TRUE(names(storage->removeExpiredValues(reference - TimeInterval(1))).size() == 1);
    const DiskSweepResult result = storage->removeExpiredValues(reference);
    EXPECT_FALSE(result.error);
    EXPECT_EQ(names(result), std::vector<QString>{QStringLiteral("due")});
    EXPECT_EQ(fileNamesIn(storage->directoryPath()), (std::set<QString>{QStringLiteral(".hidden"), QStringLiteral("later")}));
    EXPECT_TRUE(QDir(storage->directoryPath() + QStringLiteral("/folder")).exists());
}

TEST_F(DiskStorageMaintenanceTest, SizePassRemovesLeastRecentlyAccessedDownToHalfTheLimit)
{
    auto storage = make(1000);
    place(*storage, QStringLiteral("a"), 400, 3);
    place(*storage, QStringLiteral("b"), 400, 1);
    place(*storage, QStringLiteral("c"), 300, 2);
    place(*storage, QStringLiteral(".hidden"), 5000, 0);
    QDir().mkpath(storage->directoryPath() + QStringLiteral("/empty folder"));

    EXPECT_EQ(*storage->totalSize(), 1100U);
    const DiskSweepResult result = storage->removeSizeExceededValues();
    EXPECT_FALSE(result.error);
    EXPECT_EQ(names(result), (std::vector<QString>{QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_EQ(*storage->totalSize(), 400U);
    EXPECT_TRUE(QDir(storage->directoryPath() + QStringLiteral("/empty folder")).exists());
}

TEST_F(DiskStorageMaintenanceTest, SizePassStartsAtTheLimit)
{
    auto storage = make(1000);
    place(*storage, QStringLiteral("a"), 499, 2);
    place(*storage, QStringLiteral("b"), 500, 1);
    EXPECT_TRUE(storage->removeSizeExceededValues().removed.empty());

    place(*storage, QStringLiteral("c"), 1, 3);
    EXPECT_EQ(names(storage->removeSizeExceededValues()), std::vector<QString>{QStringLiteral("b")});
    EXPECT_LE(*storage->totalSize(), 500U);
}

TEST_F(DiskStorageMaintenanceTest, NoSizeLimitMeansNoListing)
{
    auto storage = make(0);
    place(*storage, QStringLiteral("a"), 5000, 1);
    fileManager->fail(FileOperation::list);
    const DiskSweepResult result = storage->removeSizeExceededValues();
    EXPECT_TRUE(result.removed.empty());
    EXPECT_FALSE(result.error);
}

TEST_F(DiskStorageMaintenanceTest, EmptyDirectory)
{
    auto storage = make(1000);
    EXPECT_TRUE(storage->removeExpiredValues().removed.empty());
    EXPECT_TRUE(storage->removeSizeExceededValues().removed.empty());
    EXPECT_EQ(*storage->totalSize(), 0U);
}

// Listing an unreadable entry: the expiry pass cannot tell it is alive, so it goes.
TEST_F(DiskStorageMaintenanceTest, UnreadableStampsCountAsExpired)
{
    auto storage = make();
    place(*storage, QStringLiteral("a"), 10, 0);
    fileManager->fail(FileOperation::metadata, EACCES);
    EXPECT_EQ(names(storage->removeExpiredValues()), std::vector<QString>{QStringLiteral("a")});
}

TEST_F(DiskStorageMaintenanceTest, FailedPassStillReportsWhatItRemoved)
{
    auto storage = make(1000);
    for (const char* name : {"a", "b", "c"})
        place(*storage, QString::fromLatin1(name), 400, name[0], 1);
    fileManager->fail(FileOperation::remove, EBUSY, 1);

    const DiskSweepResult result = storage->removeExpiredValues();
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->code(), EBUSY);
    ASSERT_EQ(result.removed.size(), 1U);
    EXPECT_EQ(fileNamesIn(storage->directoryPath()).size(), 2U);
}

TEST_F(DiskStorageMaintenanceTest, FilesAlreadyGoneCountAsRemoved)
{
    auto storage = make(1000);
    place(*storage, QStringLiteral("a"), 700, 1);
    place(*storage, QStringLiteral("b"), 700, 2);
    fileManager->fail(FileOperation::remove, FileManager::missingItemCode);
    const DiskSweepResult result = storage->removeSizeExceededValues();
    EXPECT_FALSE(result.error);
    EXPECT_EQ(names(result), (std::vector<QString>{QStringLiteral("a"), QStringLiteral("b")}));
}

TEST_F(DiskStorageMaintenanceTest, ListingFailures)
{
    auto storage = make(1000);
    fileManager->fail(FileOperation::list);
    const auto total = storage->totalSize();
    ASSERT_FALSE(total);
    EXPECT_TRUE(total.error().reasonAs<LumenError::CacheErrorReason::FileEnumeratorCreationFailed>());
    const DiskSweepResult result = storage->removeExpiredValues();
    ASSERT_TRUE(result.error);
    ASSERT_TRUE(result.error->lumenError());
    EXPECT_EQ(result.error->lumenError()->errorCode(), 3001);
}

// A file written between the total and the listing can be larger than the total; the
// running size stops at zero instead of wrapping round and removing everything.
TEST_F(DiskStorageMaintenanceTest, RunningTotalNeverWrapsRound)
{
    class GrowingFileManager final : public FileManager {
    public:
        explicit GrowingFileManager(std::function<void()> grow) : m_grow(std::move(grow)) {}
        bool exists(const QString& path) const override { return m_real.exists(path); }
        std::expected<void, UnderlyingError> createDirectory(const QString& path) override { return m_real.createDirectory(path); }
        std::expected<QStringList, UnderlyingError> directoryNames(const QString& d) const override { return m_real.directoryNames(d); }
        std::expected<std::vector<QString>, UnderlyingError> listRecursively(const QString& d) const override
        {
            if (++m_lists == 2)
                m_grow();
            return m_real.listRecursively(d);
        }
        std::expected<FileMetadata, UnderlyingError> metadata(const QString& p, bool a) const override { return m_real.metadata(p, a); }
        std::expected<QByteArray, UnderlyingError> readFile(const QString& p) const override { return m_real.readFile(p); }
        std::expected<void, UnderlyingError> writeNewFile(const QString& p, const QByteArray& d) override { return m_real.writeNewFile(p, d); }
        std::expected<void, UnderlyingError> setStamps(const QString& p, const FileStamps& s, std::optional<FileIdentity> i) override { return m_real.setStamps(p, s, i); }
        std::expected<void, UnderlyingError> replace(const QString& f, const QString& t) override { return m_real.replace(f, t); }
        std::expected<void, UnderlyingError> removeFile(const QString& p) override { return m_real.removeFile(p); }
        std::expected<void, UnderlyingError> removeTree(const QString& p) override { return m_real.removeTree(p); }

    private:
        PosixFileManager m_real;
        std::function<void()> m_grow;
        mutable int m_lists = 0;
    };

    auto storage = make(1000);
    place(*storage, QStringLiteral("a"), 600, 2);
    place(*storage, QStringLiteral("b"), 600, 3);
    auto config = storage->config();
    config.fileManager = std::make_shared<GrowingFileManager>([&] { place(*storage, QStringLiteral("late"), 5000, 1); });
    storage->setConfig(config);

    EXPECT_EQ(names(storage->removeSizeExceededValues()), std::vector<QString>{QStringLiteral("late")});
    EXPECT_EQ(fileNamesIn(storage->directoryPath()), (std::set<QString>{QStringLiteral("a"), QStringLiteral("b")}));
}

} // namespace
