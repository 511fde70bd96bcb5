#include "tests/lumen/retrieval/LivePhotoTesting.h"
#include "tests/lumen/retrieval/ManagerTesting.h"

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
        std::optional<LumenManager::LivePhotoResult> outcome;
        int calls = 0;
        manager->retrieveLivePhoto(source, items, {}, [&](LumenManager::LivePhotoResult result) {
            ++calls;
            outcome = std::move(result);
        });
        EXPECT_TRUE(Tivrand::Testing::waitUntil([&] { return outcome.has_value(); }));
        Tivrand::Testing::pumpEvents(std::chrono::milliseconds(20));
        EXPECT_EQ(calls, 1);
        return outcome ? *outcome : std::unexpected(LumenError(LumenError::RequestErrorReason::EmptyRequest{}));
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
    EXPECT_EQ(first->data().size(), 2u);
    ASSERT_EQ(first->fileURLs.size(), 2u);
    const QStringList fixtures{QStringLiteral("still.heic"), QStringLiteral("movie.mov")};
    for (int index = 0; index < 2; ++index) {
        QFile stored(first->fileURLs[index].toLocalFile());
        ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
        EXPECT_EQ(stored.readAll(), livePhotoFixtureBytes(fixtures[index]));
        EXPECT_EQ(QFileInfo(stored).suffix(), QFileInfo(fixtures[index]).suffix());
    }

    // Another processor changes nothing: the files are keyed under the live-photo one.
    const auto processor = std::make_shared<CountingProcessor>(QStringLiteral("other"));
    const auto second = retrieveLivePhoto(pair(), {Option::Processor{processor}});
    ASSERT_TRUE(second);
    EXPECT_EQ(second->cacheType, CacheType::disk);
    EXPECT_TRUE(second->data().empty());
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
    const auto result = retrieveLivePhoto(LivePhotoSource::fromURLs(
        {QUrl::fromLocalFile(livePhotoFixturePath(QStringLiteral("movie.mov"))),
         QUrl::fromLocalFile(livePhotoFixturePath(QStringLiteral("still.heic")))}));
    ASSERT_TRUE(result) << result.error().description().toStdString();
    EXPECT_EQ(QFileInfo(result->fileURLs.at(0).toLocalFile()).suffix(), QStringLiteral("mov"));
    EXPECT_EQ(result->data().size(), 2u);
    EXPECT_EQ(server.totalHits(), 0);
}

} // namespace
} // namespace Lumen::Testing
