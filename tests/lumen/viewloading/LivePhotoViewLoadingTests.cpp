#include "tests/lumen/viewloading/ViewLoadingTesting.h"

#include "Lumen/retrieval/LivePhotoError.h"
#include "Lumen/views/LivePhotoView.h"
#include "Lumen/views/loading/LivePhotoSettingTask.h"
#include "Lumen/views/loading/LivePhotoViewLoading.h"

#include <QUuid>

namespace Lumen::Testing {
namespace {

using ImageSetting = LumenError::ImageSettingErrorReason;

// The handler calls of one load, which must answer once.
struct LivePhotoCompletions : Tivrand::Testing::Collected<LivePhotoSettingResult> {
    bool waitForOne()
    {
        const bool arrived = waitFor(1);
        Tivrand::Testing::pumpEvents(std::chrono::milliseconds(20));
        EXPECT_EQ(size(), 1u);
        return arrived;
    }
};

class LivePhotoViewLoadingTest : public ViewLoadingTest {
protected:
    // "/serve/<fixture>/<fixture>?<fresh query>" for each fixture, new to every cache.
    std::vector<QUrl> urls(std::initializer_list<const char*> fixtures) const
    {
        std::vector<QUrl> served;
        for (const char* fixture : fixtures)
            served.push_back(server.url(QStringLiteral("/serve/%1/%1?%2")
                                            .arg(fixture, QUuid::createUuid().toString(QUuid::WithoutBraces))));
        return served;
    }

    // Loads `pair` into another view, which leaves its files in the disk cache.
    static bool loadElsewhere(const std::vector<QUrl>& pair)
    {
        LivePhotoView other;
        LivePhotoCompletions loaded;
        lm(&other).setImage(pair, std::nullopt, loaded.handler());
        return loaded.waitForOne();
    }

    LivePhotoView view;
};

TEST_F(LivePhotoViewLoadingTest, ShowsThePairAtTheTargetSizeReadWhenTheRequestStarts)
{
    lm(&view).setTargetSize({32, 16});
    LivePhotoCompletions done;
    lm(&view).setImage(urls({"still.heic", "movie.mov"}), std::nullopt, done.handler());
    lm(&view).setTargetSize({64, 32});
    ASSERT_TRUE(done.waitForOne());
    ASSERT_TRUE(view.livePhoto());
    EXPECT_EQ(view.livePhoto()->still()->bitmap().size(), QSize(32, 16));

    LivePhotoCompletions cleared;
    EXPECT_EQ(lm(&view).setImage(std::optional<LivePhotoSource>(), std::nullopt, cleared.handler()), nullptr);
    ASSERT_EQ(cleared.size(), 1u);
    EXPECT_NE(cleared.at(0).error().reasonAs<ImageSetting::EmptySource>(), nullptr);
    EXPECT_FALSE(view.livePhoto());
}

TEST_F(LivePhotoViewLoadingTest, AStaleRequestIsNeverShown)
{
    for (const bool filesCached : {true, false}) {
        SCOPED_TRACE(filesCached ? "assembly answers late" : "retrieval answers late");
        const auto pair = urls({"still.heic", "movie.mov"});
        if (filesCached) {
            ASSERT_TRUE(loadElsewhere(pair));
        }
        LivePhotoCompletions stale;
        LivePhotoCompletions current;
        lm(&view).setImage(pair, std::nullopt, stale.handler());
        lm(&view).setImage(urls({"page.heic", "movie.mov"}), std::nullopt, current.handler());
        ASSERT_TRUE(stale.waitForOne());
        ASSERT_TRUE(current.waitForOne());
        ASSERT_FALSE(stale.at(0));
        EXPECT_NE(stale.at(0).error().reasonAs<ImageSetting::NotCurrentLivePhotoSourceTask>(), nullptr);
        EXPECT_FALSE(view.livePhoto());
    }
}

// A load cancelled while a file downloads ends with the download's own cancel; one cancelled
// before it started, with the load's.
TEST_F(LivePhotoViewLoadingTest, ACancelledLoadShowsNothingAndEndsAsItsStageSays)
{
    const struct { const char* name; bool downloading; int code; } cases[] = {
        {"before it starts", false, 1004},
        {"while a file downloads", true, 1003},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto pair = urls({"still.heic", "movie.mov"});
        if (c.downloading)
            server.holdResponses();
        const int hits = server.totalHits();
        LivePhotoCompletions done;
        const auto handle = lm(&view).setImage(pair, std::nullopt, done.handler());
        if (c.downloading) {
            ASSERT_TRUE(Tivrand::Testing::waitUntil([&] { return server.totalHits() > hits; }));
        }
        handle->cancel();
        ASSERT_TRUE(done.waitForOne());
        ASSERT_FALSE(done.at(0));
        EXPECT_EQ(done.at(0).error().errorCode(), c.code);
        EXPECT_FALSE(view.livePhoto());
        server.releaseResponses();
        // Cancelled transfers end on the session's own thread: give them that time, so that none is
        // left running when the test's downloader goes.
        Tivrand::Testing::pumpEvents(std::chrono::milliseconds(100));
    }
}

class FailingProvider final : public ImageDataProvider {
public:
    QString cacheKey() const override { return QStringLiteral("failing"); }
    void data(DataHandler handler) const override
    {
        handler(std::unexpected(UnderlyingError(QStringLiteral("test"), 42, QStringLiteral("gone"))));
    }
};

TEST_F(LivePhotoViewLoadingTest, APairThatDoesNotAssembleOrAProviderThatFailsEndsInAFailedResult)
{
    using Code = LivePhotoError::Code;
    const auto failing = Source::provider(std::make_shared<FailingProvider>());
    const struct { const char* name; LivePhotoSource source; qint64 code; bool assembled; } table[] = {
        {"undecodable still", LivePhotoSource::fromURLs(urls({"truncated.heic", "movie.mov"})),
         qint64(Code::undecodableStill), true},
        {"unreadable movie", LivePhotoSource::fromURLs(urls({"still.heic", "truncated.mov"})),
         qint64(Code::unreadableMovie), true},
        {"a movie that is a web page", LivePhotoSource::fromURLs(urls({"still.heic", "page.mov"})),
         qint64(Code::wrongMovieFormat), true},
        {"two movies", LivePhotoSource::fromURLs(urls({"movie.mov", "movie.mov"})), qint64(Code::mismatchedFiles),
         true},
        {"a failing provider",
         LivePhotoSource{{LivePhotoResource(failing, LivePhotoResource::FileType::heic()),
                          LivePhotoResource(urls({"movie.mov"}).front())}},
         42, false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        LivePhotoCompletions done;
        // Even a failure found at once reaches the handler after the call has returned.
        bool returned = false;
        lm(&view).setImage(row.source, std::nullopt, [&, handler = done.handler()](LivePhotoSettingResult result) {
            EXPECT_TRUE(returned);
            handler(std::move(result));
        });
        returned = true;
        ASSERT_TRUE(done.waitForOne());
        ASSERT_FALSE(done.at(0));
        const LumenError error = done.at(0).error();
        const auto* failed = error.reasonAs<ImageSetting::LivePhotoResultError>();
        ASSERT_TRUE(failed && failed->error);
        EXPECT_EQ(failed->error->code(), row.code);
        EXPECT_EQ(failed->source.resources.size(), 2u);

        // A pair that does not assemble leaves the cache, to be fetched anew.
        if (row.assembled) {
            EXPECT_TRUE(Tivrand::Testing::waitUntil(
                [&] { return manager->missingResources(row.source, LumenParsedOptionsInfo()).size() == 2; }));
        }
    }
}

} // namespace
} // namespace Lumen::Testing
