#include "Lumen/retrieval/LivePhotoRequest.h"
#include "Lumen/views/LivePhotoView.h"
#include "Lumen/views/MediaBackend.h"
#include "tests/lumen/retrieval/RetrievalTesting.h"

#include <QImage>
#include <QTest>

#include <chrono>

namespace Lumen {
namespace {

using namespace Tivrand::Testing;

// The still is 64 x 32 in three bands (red, green, blue); the movie plays 3 s of yellow
// frames stored 64 x 32 and shown upright as 32 x 64.
LivePhoto fixtureLivePhoto()
{
    const auto fixture = Testing::livePhotoFixture;
    auto result = assembleLivePhoto({fixture("still.heic"), fixture("movie.mov")}, QSizeF(), ContentMode::aspectFit);
    EXPECT_TRUE(result.has_value());
    return *result;
}

char colourAt(QWidget& view, QPoint point)
{
    return Testing::colourName(view.grab().toImage().pixel(point));
}

class LivePhotoViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { preferFFmpegMediaBackend(); }

    void SetUp() override
    {
#if defined(__SANITIZE_THREAD__)
        GTEST_SKIP() << "The view runs on the GUI thread only; its player and Qt's smooth scaling hand data "
                        "between Qt's and FFmpeg's own threads, whose locks ThreadSanitizer cannot see";
#endif
        // As tall as the upright movie: the still fits into a band across the middle, the
        // movie fills the view.
        view.resize(100, 200);
        view.show();
        view.setLivePhoto(fixtureLivePhoto());
    }

    void press() { QTest::mousePress(&view, Qt::LeftButton, {}, center); }
    void release() { QTest::mouseRelease(&view, Qt::LeftButton, {}, center); }

    const QPoint center{50, 100};
    // Above the fitted still, inside the fitted movie.
    const QPoint top{50, 20};
    LivePhotoView view;
};

TEST_F(LivePhotoViewTest, PlaysTheMovieUprightWhilePressedAndGivesWayToTheStillWhenReleasedOrEnded)
{
    press();
    EXPECT_TRUE(waitUntil([&] { return colourAt(view, top) == 'Y'; }));
    release();
    EXPECT_EQ(colourAt(view, center), 'G');

    press();
    ASSERT_TRUE(waitUntil([&] { return colourAt(view, top) == 'Y'; }));
    EXPECT_TRUE(waitUntil([&] { return !view.isPlayingMovie(); }, std::chrono::seconds(20)));
    EXPECT_EQ(colourAt(view, center), 'G');
    release();
}

TEST_F(LivePhotoViewTest, SettingALivePhotoOrNoneStopsTheMovieAndReplacesTheStill)
{
    const struct { const char* name; std::optional<LivePhoto> livePhoto; char shownAtCenter; } cases[] = {
        {"another live photo", fixtureLivePhoto(), 'G'},
        {"none", std::nullopt, '-'},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        press();
        ASSERT_TRUE(view.isPlayingMovie());
        view.setLivePhoto(testCase.livePhoto);
        EXPECT_FALSE(view.isPlayingMovie());
        EXPECT_EQ(colourAt(view, center), testCase.shownAtCenter);
        release();
    }
}

} // namespace
} // namespace Lumen
