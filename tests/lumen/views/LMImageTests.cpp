#include "Lumen/views/LMImage.h"
#include "Lumen/views/LMImageBinder.h"
#include "Lumen/views/LMImageContext.h"

#include "Lumen/cache/ImageCache.h"
#include "Lumen/download/DownloadTask.h"
#include "Lumen/download/SessionDataTask.h"
#include "Lumen/download/URLSessionDataTask.h"
#include "Lumen/foundation/processors/BlurImageProcessor.h"
#include "Lumen/retrieval/RetrieveImageResult.h"
#include "Lumen/views/LMImageDrawing.h"
#include "Lumen/views/LMImageProgress.h"
#include "tests/lumen/retrieval/RetrievalTesting.h"
#include "tests/lumen/foundation/FoundationTesting.h"
#include "tests/lumen/views/AnimationTesting.h"

#include <QAccessible>
#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

using namespace Lumen;
using Lumen::Testing::onGuiThread;
using Lumen::AnimationTesting::centrePixel;
using Lumen::Testing::pngBytes;
using Tivrand::Testing::LoopbackServer;
using Tivrand::Testing::pumpEvents;
using Tivrand::Testing::waitUntil;
using namespace std::chrono_literals;

namespace {

const QColor placeholderColor(0, 0, 255);

// Serves 16 x 16 PNGs of the colour named by the first path segment: /red/..., /green/...;
// /missing/... is not found. Each answer closes its connection, so the server stops at once.
class LMImageTest : public ::testing::Test {
protected:
    LMImageTest()
    {
        server.get("/(red|green)/.*", [](const httplib::Request& request, httplib::Response& response) {
            Lumen::Testing::serveImage(response, pngBytes({16, 16}, request.matches[1] == "red" ? Qt::red : Qt::green));
        });
        server.get("/missing/.*", [](const httplib::Request&, httplib::Response& response) {
            response.set_header("Connection", "close");
            response.status = 404;
        });
        server.start();
    }

    // A URL no other test asks for, so no cache of this process holds it.
    QUrl imageUrl(const QString& color) { return server.url("/" + color + "/" + QString::number(++m_count) + ".png"); }
    int hits(const QUrl& url) const { return server.hits(url.path().toStdString()); }
    void hold(const QUrl& url) { server.holdResponses(url.path().toStdString()); }

    LoopbackServer server;

private:
    int m_count = 0;
};

std::unique_ptr<QWidget> coloredBox()
{
    auto box = std::make_unique<QWidget>();
    box->setAutoFillBackground(true);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window, placeholderColor);
    box->setPalette(palette);
    return box;
}

std::unique_ptr<LMImage> iconView(const QUrl& url)
{
    auto view = std::make_unique<LMImage>(url);
    view->placeholder(coloredBox).resizable();
    view->resize(40, 40);
    return view;
}

bool waitForImage(const LMImage& view)
{
    return waitUntil([&] { return view.binder().loadedImage() != nullptr; }, 10s);
}

TEST_F(LMImageTest, ShowsThePlaceholderUntilTheImageArrivesOnTheGuiThreadWhereverTheCallbackQueue)
{
    for (const CallbackQueue& queue : {CallbackQueue::mainCurrentOrAsync(), CallbackQueue::untouch()}) {
        const QUrl url = imageUrl("red");
        hold(url);
        auto view = iconView(url);
        bool renderedOffGui = false;
        QPointer<LMImageProgress> placeholderProgress;
        view->placeholder([&](LMImageProgress& progress) {
            placeholderProgress = &progress;
            return coloredBox();
        });
        view->callbackQueue(queue)
            .configure([&](LMImageContent content) {
                renderedOffGui |= !onGuiThread();
                return content;
            });
        view->show();

        ASSERT_TRUE(waitUntil([&] { return hits(url) == 1; }));
        EXPECT_EQ(centrePixel(*view), placeholderColor.rgb());

        server.releaseResponses();
        ASSERT_TRUE(waitForImage(*view));
        EXPECT_EQ(centrePixel(*view), QColor(Qt::red).rgb());
        EXPECT_FALSE(renderedOffGui);
        ASSERT_NE(placeholderProgress, nullptr);
        EXPECT_EQ(placeholderProgress->fractionCompleted(), 1.0);
    }
}

TEST_F(LMImageTest, FadesInOnlyImagesThatDidNotComeFromACacheUnlessTransitionIsForced)
{
    const QUrl url = imageUrl("red");
    const struct { const char* name; bool forceTransition; bool fades; } cases[] = {
        {"downloaded", false, true},
        {"from the memory cache", false, false},
        {"from the memory cache, forced", true, true},
    };
    for (const auto& test : cases) {
        auto view = iconView(url);
        // Long enough that it is still running when checked.
        view->fade(30).forceTransition(test.forceTransition);
        view->show();
        ASSERT_TRUE(waitForImage(*view)) << test.name;
        const auto* effect = qobject_cast<QGraphicsOpacityEffect*>(view->graphicsEffect());
        EXPECT_EQ(effect != nullptr, test.fades) << test.name;
    }
}

TEST_F(LMImageTest, AFailedLoadKeepsThePlaceholderOrShowsTheFailureImageAndRetriesOnTheNextAppearance)
{
    const auto failureImage = Image::make(QImage(8, 8, QImage::Format_ARGB32_Premultiplied));
    const struct { const char* name; std::optional<QUrl> url; std::optional<ImagePtr> failureImage; int errorCode; }
        cases[] = {
        {"not found", server.url("/missing/a.png"), std::nullopt, 2002},
        {"not found, with a failure image", server.url("/missing/b.png"), failureImage, 2002},
        {"not found, failure image none", server.url("/missing/c.png"), ImagePtr(), 2002},
        {"no source", std::nullopt, std::nullopt, 5001},
    };
    for (const auto& test : cases) {
        auto view = iconView(test.url.value_or(QUrl()));
        if (test.failureImage)
            view->onFailureImage(*test.failureImage);
        std::vector<int> codes;
        view->onFailure([&](const LumenError& error) { codes.push_back(error.errorCode()); });
        view->show();
        ASSERT_TRUE(waitUntil([&] { return !codes.empty(); })) << test.name;
        const bool showsFailureImage = test.failureImage && *test.failureImage;
        EXPECT_EQ(view->binder().loadedImage(), showsFailureImage ? failureImage : nullptr) << test.name;
        EXPECT_EQ(view->placeholderWidget() != nullptr, !showsFailureImage) << test.name;

        view->hide();
        view->show();
        // Only a view that shows no image is still failed, and loads again.
        ASSERT_TRUE(waitUntil([&] { return codes.size() == (showsFailureImage ? 1u : 2u); })) << test.name;
        view->update();
        pumpEvents(100ms);
        EXPECT_EQ(codes.size(), showsFailureImage ? 1u : 2u) << test.name << ": a repaint loads nothing";
    }
}

// Without a source the failure hook hears of it inside the start, before the failure image shows.
TEST(LMImageBinder, WithoutASourceTellsTheFailureHookAtOnceThenShowsTheFailureImage)
{
    const auto context = std::make_shared<LMImageContext>(std::nullopt);
    const auto failureImage = Image::make(QImage(8, 8, QImage::Format_ARGB32_Premultiplied));
    LumenParsedOptionsInfo options = context->options();
    options.onFailureImage = failureImage;
    context->setOptions(options);
    LMImageBinder binder([] {});
    std::vector<std::pair<int, bool>> told;
    context->onFailureDelegate().setBlock(
        [&](const LumenError& error) { told.emplace_back(error.errorCode(), binder.loaded()); });
    binder.start(context);
    EXPECT_EQ(told, (std::vector<std::pair<int, bool>>{{5001, false}}));
    EXPECT_TRUE(binder.loaded());
    EXPECT_EQ(binder.loadedImage(), failureImage);
}

TEST_F(LMImageTest, InAScrollAreaLoadsOnlyOnEnteringTheViewportAndRetriesAFailureOncePerEntry)
{
    QScrollArea area;
    area.resize(100, 100);
    auto* rows = new QWidget;
    rows->resize(80, 2000);
    const auto row = [&](const QUrl& url, int y) {
        LMImage* view = iconView(url).release();
        view->setParent(rows);
        view->move(0, y);
        return view;
    };
    const QUrl nearUrl = imageUrl("red"), farUrl = imageUrl("green"), failingUrl = imageUrl("missing");
    const LMImage* near = row(nearUrl, 0);
    const LMImage* far = row(farUrl, 200);
    LMImage* failing = row(failingUrl, 1500);
    area.setWidget(rows);
    area.show();
    ASSERT_TRUE(waitForImage(*near));
    pumpEvents(50ms);
    EXPECT_EQ(hits(farUrl) + hits(failingUrl), 0);

    // A taller viewport takes the far row in.
    area.resize(100, 300);
    ASSERT_TRUE(waitForImage(*far));
    area.resize(100, 100);

    for (int entry = 1; entry <= 2; ++entry) {
        area.verticalScrollBar()->setValue(1480);
        ASSERT_TRUE(waitUntil([&] { return hits(failingUrl) == entry && failing->binder().loaded(); })) << entry;
        failing->update();
        pumpEvents(50ms);
        area.verticalScrollBar()->setValue(0);
    }
    pumpEvents(50ms);
    EXPECT_EQ(hits(failingUrl), 2);
}

TEST_F(LMImageTest, LeavingSightCancelsTheAlternativeSourceAttemptAndReportsNoSuccess)
{
    const QUrl alternative = imageUrl("green");
    hold(alternative);
    auto view = iconView(imageUrl("missing"));
    std::vector<int> failures;
    int successes = 0;
    view->cancelOnDisappear()
        .alternativeSources(std::vector{URLResource(alternative).convertToSource()})
        .onFailure([&](const LumenError& error) { failures.push_back(error.errorCode()); })
        .onSuccess([&](const RetrieveImageResult&) { ++successes; });
    view->show();
    ASSERT_TRUE(waitUntil([&] { return hits(alternative) == 1; }));

    view->hide();
    ASSERT_TRUE(waitUntil([&] { return !failures.empty(); }));
    server.releaseResponses();
    pumpEvents(200ms);
    EXPECT_EQ(failures, std::vector<int>{1003});
    EXPECT_EQ(successes, 0);
    EXPECT_EQ(view->binder().loadedImage(), nullptr);
}

TEST_F(LMImageTest, HidingWhileLoadingLowersThePriorityAndShowingRestoresIt)
{
    const QUrl url = imageUrl("red");
    hold(url);
    auto view = iconView(url);
    view->reducePriorityOnDisappear();
    view->show();
    const auto transfer = [&]() -> std::shared_ptr<URLSessionDataTask> {
        const auto& task = view->binder().downloadTask();
        const auto session = task ? task->sessionTask() : nullptr;
        return session ? session->task() : nullptr;
    };
    ASSERT_TRUE(waitUntil([&] { return transfer() != nullptr; }));

    view->hide();
    EXPECT_EQ(transfer()->priority(), 0.25f);
    view->show();
    EXPECT_EQ(transfer()->priority(), 0.5f);
    server.releaseResponses();
}

TEST_F(LMImageTest, HidingWhileLoadingCancelsAndShowingAgainStartsExactlyOneFreshLoad)
{
    const QUrl url = imageUrl("red");
    hold(url);
    auto view = iconView(url);
    std::vector<int> failures;
    int successes = 0;
    view->cancelOnDisappear().onFailure([&](const LumenError& error) { failures.push_back(error.errorCode()); });
    view->onSuccess([&](const RetrieveImageResult&) { ++successes; });
    view->show();
    ASSERT_TRUE(waitUntil([&] { return hits(url) == 1; }));

    // Back before the cancellation has been reported.
    view->hide();
    view->show();
    ASSERT_TRUE(waitUntil([&] { return hits(url) == 2; }));
    ASSERT_TRUE(waitUntil([&] { return !failures.empty(); }));
    EXPECT_EQ(failures, std::vector<int>{1003});
    EXPECT_TRUE(view->binder().loading()) << "the old load's end leaves the new one alone";

    server.releaseResponses();
    ASSERT_TRUE(waitForImage(*view));
    pumpEvents(100ms);
    EXPECT_EQ(successes, 1);
}

TEST_F(LMImageTest, OfTwoViewsSharingALoadTheOneThatLeavesIsCancelledAlone)
{
    for (const int leaving : {0, 1}) {
        SCOPED_TRACE(leaving ? "the second leaves" : "the first leaves");
        const QUrl url = imageUrl("red");
        hold(url);
        std::unique_ptr<LMImage> views[2];
        std::vector<int> failures[2];
        for (int index = 0; index < 2; ++index) {
            views[index] = iconView(url);
            views[index]->cancelOnDisappear().onFailure(
                [&failures, index](const LumenError& error) { failures[index].push_back(error.errorCode()); });
            views[index]->show();
        }
        ASSERT_TRUE(waitUntil([&] { return hits(url) == 1 && views[1]->binder().loading(); }));

        views[leaving]->hide();
        ASSERT_TRUE(waitUntil([&] { return !failures[leaving].empty(); }));
        server.releaseResponses();
        ASSERT_TRUE(waitForImage(*views[1 - leaving]));
        pumpEvents(100ms);
        EXPECT_EQ(failures[leaving], std::vector<int>{1003});
        EXPECT_EQ(views[leaving]->binder().loadedImage(), nullptr);
        EXPECT_TRUE(failures[1 - leaving].empty());
        EXPECT_EQ(hits(url), 1);
    }
}

TEST_F(LMImageTest, AnOlderSourceArrivingLateNeverReplacesTheNewerOne)
{
    const QUrl older = imageUrl("red");
    const QUrl newer = imageUrl("green");
    hold(older);
    auto view = iconView(older);
    int successes = 0;
    view->onSuccess([&](const RetrieveImageResult&) { ++successes; });
    view->show();
    ASSERT_TRUE(waitUntil([&] { return hits(older) == 1; }));

    view->setSource(URLResource(newer).convertToSource());
    ASSERT_TRUE(waitForImage(*view));
    server.releaseResponses();
    const auto cache = LumenManager::shared()->cache();
    ASSERT_TRUE(waitUntil([&] { return cache->isCached(older.toString()); }));
    pumpEvents(100ms);
    EXPECT_EQ(centrePixel(*view), QColor(Qt::green).rgb());
    EXPECT_EQ(successes, 1) << "the replaced load reports to no one";
}

TEST_F(LMImageTest, StartingBeforeAppearingLoadsOnceWithoutBeingShown)
{
    const QUrl url = imageUrl("red");
    auto view = iconView(url);
    view->startLoadingBeforeViewAppear();
    ASSERT_TRUE(waitForImage(*view));
    view->show();
    pumpEvents(100ms);
    EXPECT_EQ(hits(url), 1);
}

TEST_F(LMImageTest, ChangingTheProcessorOfAShownViewReloadsIt)
{
    auto view = iconView(imageUrl("red"));
    view->show();
    ASSERT_TRUE(waitForImage(*view));
    const ImagePtr original = view->binder().loadedImage();
    view->fade(1);
    EXPECT_EQ(view->binder().loadedImage(), original) << "a fade is no other image";
    view->blur(2);
    ASSERT_TRUE(waitUntil([&] { return view->binder().loadedImage() && view->binder().loadedImage() != original; }));
}

TEST_F(LMImageTest, AClearedProcessorIsTheDefaultOne)
{
    auto view = iconView(imageUrl("red"));
    view->setProcessor(nullptr);
    view->show();
    ASSERT_TRUE(waitForImage(*view));
    EXPECT_EQ(centrePixel(*view), QColor(Qt::red).rgb());
}

TEST_F(LMImageTest, AnImageViewIsAGraphicToAssistiveTechnology)
{
    const auto view = iconView(imageUrl("red"));
    const QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(view.get());
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Graphic);
}

TEST_F(LMImageTest, ATemplateImageTakesThePaletteTextColourAndTheContentHookSeesItFirst)
{
    auto view = iconView(imageUrl("red"));
    QPalette palette = view->palette();
    palette.setColor(QPalette::Text, Qt::green);
    view->setPalette(palette);
    std::optional<LMImageContent::RenderingMode> hooked;
    view->renderingMode(LMImageContent::RenderingMode::asTemplate)
        .configureContent([&](QPainter&, const LMImageContent& content) { hooked = content.renderingMode; });
    view->show();
    ASSERT_TRUE(waitForImage(*view));
    EXPECT_EQ(centrePixel(*view), QColor(Qt::green).rgb());
    EXPECT_EQ(hooked, LMImageContent::RenderingMode::asTemplate);
}

TEST_F(LMImageTest, APlaceholderKeepsItsOwnSizeCentredUnlessItAsksToExpand)
{
    struct SizedBox : QWidget {
        QSize sizeHint() const override { return {10, 10}; }
    };
    for (const bool expands : {false, true}) {
        auto view = iconView(imageUrl("red"));
        view->placeholder([expands]() -> std::unique_ptr<QWidget> {
            auto box = std::make_unique<SizedBox>();
            if (expands)
                box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
            return box;
        });
        view->show();
        ASSERT_NE(view->placeholderWidget(), nullptr);
        EXPECT_EQ(view->placeholderWidget()->geometry(), expands ? QRect(0, 0, 40, 40) : QRect(15, 15, 10, 10));
        ASSERT_TRUE(waitForImage(*view));
    }
}

TEST_F(LMImageTest, ModifiersWriteTheSharedContextAndConfigureInOrder)
{
    LMImage view(QUrl("http://127.0.0.1:1/a.png"));
    view.blur(2).configure([](LMImageContent content) {
        content.cornerRadius = content.resizable ? 1 : 2;
        return content;
    });
    view.resizable().aspectRatio(ContentMode::aspectFit);
    EXPECT_EQ(view.context()->options().processor->identifier(), "|>com.vantrel.Lumen.BlurImageProcessor(2.0)");
    EXPECT_EQ(view.content().cornerRadius, 2) << "configured before it was resizable";
}

// Contexts equal by source and processor identifier, however they got them, hash alike.
TEST(LMImageContext, EqualContextsHashAlike)
{
    const auto context = [](const char* url, std::shared_ptr<const ImageProcessor> processor) {
        auto made = std::make_shared<LMImageContext>(url ? std::optional(URLResource(QUrl(url)).convertToSource())
                                                         : std::nullopt);
        made->setOptions([&] { auto options = made->options(); options.processor = processor; return options; }());
        return made;
    };
    const auto blur = [] { return std::make_shared<const BlurImageProcessor>(2); };
    const std::pair<std::shared_ptr<LMImageContext>, std::shared_ptr<LMImageContext>> equal[] = {
        {context("https://x.test/a.png", nullptr), context("https://x.test/a.png", DefaultImageProcessor::shared())},
        {context("https://x.test/a.png", blur()), context("https://x.test/a.png", blur())},
        {context(nullptr, nullptr), context(nullptr, nullptr)},
    };
    for (const auto& [lhs, rhs] : equal) {
        ASSERT_TRUE(*lhs == *rhs);
        EXPECT_EQ(std::hash<LMImageContext>()(*lhs), std::hash<LMImageContext>()(*rhs));
    }
}

// A context starts from the shared manager's defaults as they are when it is made.
TEST(LMImageContext, StartsFromTheManagersDefaultsOfItsMaking)
{
    const auto& manager = LumenManager::shared();
    manager->setDefaultOptions({Option::KeepCurrentImageWhileLoading{}});
    const LMImageContext earlier(std::nullopt);
    manager->setDefaultOptions({});
    const LMImageContext later(std::nullopt);
    EXPECT_TRUE(earlier.options().keepCurrentImageWhileLoading);
    EXPECT_FALSE(later.options().keepCurrentImageWhileLoading);
    EXPECT_TRUE(earlier.options().loadDiskFileSynchronously && later.options().loadDiskFileSynchronously);
}

// A red image of `size` whose outermost pixels are blue.
ImagePtr framedImage(QSize size)
{
    QImage bitmap(size, QImage::Format_ARGB32_Premultiplied);
    bitmap.fill(Qt::blue);
    QPainter(&bitmap).fillRect(QRect(QPoint(1, 1), size - QSize(2, 2)), Qt::red);
    return Image::make(bitmap);
}

TEST(LMImageDrawing, PlacesAndShapesTheImageAsTheContentSays)
{
    using enum LMImageContent::ResizingMode;
    const QRgb none = 0, red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255);
    const QMarginsF edges(1, 1, 1, 1);
    const struct { const char* name; QSize size; LMImageContent content; std::vector<std::pair<QPoint, QRgb>> pixels; }
        cases[] = {
        {"own size, centred", {4, 4}, {}, {{{1, 1}, none}, {{6, 6}, blue}, {{7, 7}, red}, {{12, 12}, none}}},
        {"stretched", {4, 4}, {.image = {}, .resizable = true, .capInsets = {}},
         {{{0, 0}, blue}, {{8, 8}, red}, {{15, 15}, blue}}},
        {"fitted", {8, 4}, {.image = {}, .resizable = true, .capInsets = {}, .contentMode = ContentMode::aspectFit},
         {{{8, 2}, none}, {{8, 8}, red}}},
        {"rounded", {4, 4}, {.image = {}, .resizable = true, .capInsets = {}, .cornerRadius = 6},
         {{{0, 0}, none}, {{8, 0}, blue}}},
        {"cap insets keep the frame thin", {4, 4}, {.image = {}, .resizable = true, .capInsets = edges},
         {{{2, 8}, red}, {{15, 8}, blue}}},
        {"cap insets, middle tiled", {4, 4},
         {.image = {}, .resizable = true, .capInsets = edges, .resizingMode = tile},
         {{{0, 0}, blue}, {{2, 2}, red}, {{13, 13}, red}, {{8, 15}, blue}}},
    };
    for (const auto& test : cases) {
        LMImageContent content = test.content;
        content.image = framedImage(test.size);
        LMImageDrawing drawing;
        drawing.setContent(content);
        QImage canvas(16, 16, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        drawing.paint(painter, QRectF(0, 0, 16, 16), 1.0);
        painter.end();
        for (const auto& [point, expected] : test.pixels)
            EXPECT_EQ(canvas.pixel(point), expected) << test.name << " at " << point.x() << "," << point.y();
    }
}

} // namespace
