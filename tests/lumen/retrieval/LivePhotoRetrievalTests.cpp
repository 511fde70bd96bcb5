#include "tests/lumen/retrieval/RetrievalTesting.h"

#include <QFileInfo>

namespace Lumen::Testing {
namespace {

using Cache = LumenError::CacheErrorReason;

class LivePhotoRetrievalTest : public ManagerTest {
protected:
    void SetUp() override
    {
        serveLivePhotoFixtures(server);
        ManagerTest::SetUp();
    }

    LumenManager::LivePhotoResult retrieveLivePhoto(const LivePhotoSource& source, LumenOptionsInfo items = {})
    {
        Tivrand::Testing::Collected<LumenManager::LivePhotoResult> done;
        manager->retrieveLivePhoto(source, items, {}, done.handler());
        EXPECT_TRUE(done.waitFor(1));
        Tivrand::Testing::pumpEvents(std::chrono::milliseconds(20));
        EXPECT_EQ(done.size(), 1u);
        return done.size() ? done.at(0) : std::unexpected(LumenError(LumenError::RequestErrorReason::EmptyRequest{}));
    }

    LivePhotoSource pair() const
    {
        return LivePhotoSource::fromURLs({server.url(QStringLiteral("/serve/still.heic/p.heic")),
                                          server.url(QStringLiteral("/serve/movie.mov/p.mov"))});
    }
};

TEST_F(LivePhotoRetrievalTest, DownloadsEachFileOnceThenServesThePairFromDisk)
{
    const auto first = retrieveLivePhoto(pair());
    ASSERT_TRUE(first) << first.error().description().toStdString();
    EXPECT_EQ(first->cacheType, CacheType::none);
    ASSERT_EQ(first->fileURLs.size(), 2u);
    for (int index = 0; index < 2; ++index) {
        QFile stored(first->fileURLs[index].toLocalFile());
        ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
        EXPECT_EQ(stored.readAll(), livePhotoFixtureBytes(index ? "movie.mov" : "still.heic"));
    }

    // Another processor changes nothing: the files are keyed under the live-photo one.
    const auto processor = std::make_shared<CountingProcessor>(QStringLiteral("other"));
    const auto second = retrieveLivePhoto(pair(), {Option::Processor{processor}});
    ASSERT_TRUE(second);
    EXPECT_EQ(second->cacheType, CacheType::disk);
    EXPECT_EQ(second->fileURLs, first->fileURLs);
    EXPECT_EQ(server.totalHits(), 2);

    ASSERT_TRUE(retrieveLivePhoto(pair(), {Option::ForceRefresh{}}));
    EXPECT_EQ(server.totalHits(), 4);
}

TEST_F(LivePhotoRetrievalTest, StoresOnlyBytesOfTheResourcesType)
{
    const struct {
        const char* path;
        // The extension of the stored file; none when the retrieval fails.
        const char* extension;
        bool missingOnDisk;
    } table[] = {
        {"/serve/movie.mov/untyped", "mov", false},
        {"/serve/still.heic/untyped", "heic", false},
        {"/serve/still.heic/a.JPG", "jpg", false},
        {"/serve/page/untyped", nullptr, true},
        {"/serve/page/a.mov", nullptr, true},
        {"/serve/movie.mov/a.heic", nullptr, true},
        {"/serve/wrong-brand.mov/a.mov", nullptr, true},
        {"/status/404", nullptr, false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.path);
        const auto result = retrieveLivePhoto(LivePhotoSource::fromURLs({server.url(QString::fromUtf8(row.path))}));
        if (row.extension) {
            ASSERT_TRUE(result) << result.error().description().toStdString();
            EXPECT_EQ(QFileInfo(result->fileURLs.at(0).toLocalFile()).suffix(), QString::fromUtf8(row.extension));
        } else if (row.missingOnDisk) {
            ASSERT_FALSE(result);
            EXPECT_NE(result.error().reasonAs<Cache::MissingLivePhotoResourceOnDisk>(), nullptr);
        } else {
            ASSERT_FALSE(result);
            EXPECT_TRUE(result.error().isInvalidResponseStatusCode(404));
        }
    }
}

TEST_F(LivePhotoRetrievalTest, ReadsFileURLsFromDisk)
{
    const auto result = retrieveLivePhoto(
        LivePhotoSource::fromURLs({livePhotoFixture("movie.mov"), livePhotoFixture("still.heic")}));
    ASSERT_TRUE(result) << result.error().description().toStdString();
    EXPECT_EQ(result->data().size(), 2u);
    EXPECT_EQ(server.totalHits(), 0);
}

} // namespace
} // namespace Lumen::Testing
