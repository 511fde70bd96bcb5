#include "tests/lumen/retrieval/RetrievalTesting.h"

#include "Lumen/download/SessionDelegate.h"
#include "Lumen/retrieval/LivePhotoSource.h"
#include "Lumen/retrieval/PHPickerResultImageDataProvider.h"

#include <QFileInfo>
#include <QMimeDatabase>

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
    ASSERT_EQ(first->fileURLs.size(), 2u);
    for (int index = 0; index < 2; ++index) {
        QFile stored(first->fileURLs[index].toLocalFile());
        ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
        EXPECT_EQ(stored.readAll(), livePhotoFixtureBytes(index ? "movie.mov" : "still.heic"));
    }

    // Another processor changes nothing: the files are keyed under the live-photo one.
    const auto processor = std::make_shared<CountingProcessor>(QStringLiteral("other"));
    ASSERT_TRUE(retrieveLivePhoto(pair(), {Option::Processor{processor}}));
    EXPECT_EQ(server.totalHits(), 2);

    ASSERT_TRUE(retrieveLivePhoto(pair(), {Option::ForceRefresh{}}));
    EXPECT_EQ(server.totalHits(), 4);
}

TEST_F(LivePhotoRetrievalTest, TheFutureFormFinishesWithTheFilesAndItsCancelStopsTheFetches)
{
    auto fetched = manager->retrieveLivePhotoAsync(pair());
    ASSERT_TRUE(Tivrand::Testing::waitUntil([&] { return fetched.isFinished(); }));
    ASSERT_TRUE(fetched.result());
    EXPECT_EQ(fetched.result()->fileURLs.size(), 2u);

    server.holdResponses();
    auto cancelled = manager->retrieveLivePhotoAsync(pair(), LumenOptionsInfo{Option::ForceRefresh{}});
    ASSERT_TRUE(Tivrand::Testing::waitUntil([&] { return server.totalHits() == 4; }));
    cancelled.cancel();
    ASSERT_TRUE(Tivrand::Testing::waitUntil([&] { return cancelled.isFinished(); }));
    EXPECT_TRUE(cancelled.isCanceled());
    // The fetches withdrew: the held responses find no caller, and nothing is stored.
    const QUrl still = pair().resources[0].dataSource.url().value();
    EXPECT_TRUE(Tivrand::Testing::waitUntil([&] { return !downloader->sessionDelegate()->task(still); }));
    server.releaseResponses();
}

TEST_F(LivePhotoRetrievalTest, StoresBytesUnderTheirTypesExtension)
{
    // The extension of the stored file, or how the retrieval failed.
    const struct { const char* path; const char* outcome; } table[] = {
        {"/serve/movie.mov/untyped", "mov"},
        {"/serve/still.heic/untyped", "heic"},
        {"/serve/still.heic/a.JPG", "jpg"},
        {"/serve/page/untyped", "not stored"},
        {"/serve/movie.mov/a.heic", "heic"},
        {"/serve/wrong-brand.mov/a.mov", "mov"},
        {"/status/404", "404"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.path);
        const auto result = retrieveLivePhoto(LivePhotoSource::fromURLs({server.url(QString::fromUtf8(row.path))}));
        const QString outcome = result ? QFileInfo(result->fileURLs.at(0).toLocalFile()).suffix()
            : result.error().reasonAs<Cache::MissingLivePhotoResourceOnDisk>() ? QStringLiteral("not stored")
            : result.error().isInvalidResponseStatusCode(404) ? QStringLiteral("404")
                                                                 : result.error().description();
        EXPECT_EQ(outcome, QString::fromUtf8(row.outcome));
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

using FileType = LivePhotoResource::FileType;

// A picked item without an asset identifier is keyed anew on each read; its file is still found
// under the key it was stored with.
TEST_F(LivePhotoRetrievalTest, AFileWhoseKeyChangesOnEachReadIsFoundWhereItWasStored)
{
    const PickerResult picked{PickerItemProvider(livePhotoFixture("still.heic")), std::nullopt};
    const auto still = std::make_shared<PHPickerResultImageDataProvider>(
        picked, QMimeDatabase().mimeTypeForName(QStringLiteral("image/heic")));
    const auto result = retrieveLivePhoto(LivePhotoSource{{LivePhotoResource(Source::provider(still), FileType::heic()),
                                                           LivePhotoResource(livePhotoFixture("movie.mov"))}});
    ASSERT_TRUE(result) << result.error().description().toStdString();
    EXPECT_EQ(result->fileURLs.size(), 2u);
}


TEST(LivePhotoResource, TypesByExtensionAcceptingOnlyShortAlphanumericOnes)
{
    const struct { const char* url; FileType type; } table[] = {
        {"https://x.test/a.MOV", FileType::mov()},
        {"https://x.test/a.Heic?v=1", FileType::heic()},
        {"https://x.test/a.JPG", FileType::other(u"jpg")},
        {"https://x.test/a", FileType::other(u"")},
        {"https://x.test/a.mov/", FileType::other(u"")},
        {"https://x.test/a.toolongext", FileType::other(u"")},
        {"https://x.test/a.he%20ic", FileType::other(u"")},
        {"file:///tmp/a.mov", FileType::mov()},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.url);
        EXPECT_EQ(LivePhotoResource(QUrl(QString::fromUtf8(row.url))).referenceFileType, row.type);
    }
    EXPECT_TRUE(FileType::other(u"../x").isUndetermined());
}

QByteArray isoHead(const char* brand)
{
    return QByteArray::fromHex("00000018") + QByteArray("ftyp") + QByteArray(brand) + QByteArray(8, '\0');
}

TEST(LivePhotoResource, DeterminesTheStoredExtensionFromTheBytes)
{
    const struct { const char* name; FileType type; QByteArray data; std::optional<QString> extension; } table[] = {
        {"heic brand", FileType::other(u""), isoHead("heic"), QStringLiteral("heic")},
        {"qt brand", FileType::other(u""), isoHead("qt  "), QStringLiteral("mov")},
        {"other brand", FileType::other(u""), isoHead("avif"), std::nullopt},
        {"eleven bytes", FileType::other(u""), isoHead("heic").left(11), std::nullopt},
        {"no ftyp", FileType::other(u""), QByteArray(16, 'x'), std::nullopt},
        {"given extension", FileType::other(u"jpg"), QByteArray("x"), QStringLiteral("jpg")},
        {"still with its brand", FileType::heic(), isoHead("mif1"), QStringLiteral("heic")},
        {"still with a movie brand", FileType::heic(), isoHead("qt  "), QStringLiteral("heic")},
        {"movie with its brand", FileType::mov(), isoHead("isom"), QStringLiteral("mov")},
        {"movie that is an HTML page", FileType::mov(), QByteArray("<html><body>not found"), QStringLiteral("mov")},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.type.determinedFileExtension(row.data), row.extension);
    }
}

} // namespace
} // namespace Lumen::Testing
