#include "tests/lumen/viewloading/ViewLoadingTesting.h"

#include "Lumen/foundation/ImagePlaceholder.h"
#include "Lumen/foundation/WidgetPlaceholder.h"
#include "Lumen/views/ActivityIndicator.h"
#include "Lumen/views/loading/ButtonImageLoading.h"
#include "Lumen/views/loading/ImageComponentWrappers.h"
#include "Lumen/views/loading/ImageViewLoading.h"
#include "Lumen/views/loading/TaskPropertyAccessor.h"
#include "Lumen/views/loading/TextAttachmentLoading.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTextDocument>

#include <atomic>
#include <thread>

namespace Lumen::Testing {
namespace {

using ImageViewLoadingTest = ViewLoadingTest;

TEST_F(ImageViewLoadingTest, IndicatorAndWidgetPlaceholderLastWhileLoading)
{
    QLabel view;
    lm(&view).setIndicatorType(IndicatorType::activity());
    const auto indicator = std::dynamic_pointer_cast<ActivityIndicator>(lm(&view).indicator());
    ASSERT_NE(indicator, nullptr);
    auto placeholder = std::make_shared<WidgetPlaceholder>(std::make_unique<QWidget>());

    Completions loaded;
    lm(&view).setImage(source("/red.png"), placeholder, std::nullopt, {}, loaded.handler());
    EXPECT_EQ(placeholder->widget()->parentWidget(), &view);
    ASSERT_TRUE(loaded.waitFor());
    EXPECT_EQ(indicator->animatingCount(), 0);
    EXPECT_EQ(lm(&view).placeholder(), nullptr);
}

TEST_F(ImageViewLoadingTest, KeepCurrentImageKeepsWhatTheViewShows)
{
    struct Case { const char* name; ImagePtr shown; QColor whileLoading; };
    const Case cases[] = {
        {"shown image stays", imageOf(Qt::green), Qt::green},
        {"empty view takes the placeholder", nullptr, Qt::blue},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        QLabel view;
        lm(&view).setPlaceholder(test.shown ? std::make_shared<ImagePlaceholder>(test.shown) : nullptr);
        Completions loaded;
        lm(&view).setImage(source("/red.png"), std::make_shared<ImagePlaceholder>(imageOf(Qt::blue)),
                           LumenOptionsInfo{Option::KeepCurrentImageWhileLoading{}}, {}, loaded.handler());
        EXPECT_EQ(colorOf(view.pixmap()), test.whileLoading);
        ASSERT_TRUE(loaded.waitFor());
    }
}

// A cancelled load starts no further attempt, whatever its strategy answers, and ends once.
TEST_F(ImageViewLoadingTest, ACancelledLoadStartsNoFurtherAttemptWhateverTheStrategySays)
{
    holdSlow();
    const struct {
        const char* name;
        const char* path;
        bool held;
    } cases[] = {
        {"while downloading", "/slow.png", false},
        {"while the strategy decides", "/missing.png", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto strategy =
            std::make_shared<ScriptedStrategy>(std::vector<RetryDecision::Kind>(1000, RetryDecision::Kind::retry), c.held);
        QLabel view;
        Completions loaded;
        const int hitsBefore = server.hits(c.path);
        lm(&view).setImage(source(c.path), nullptr, LumenOptionsInfo{Option::RetryStrategy{strategy}}, {},
                           loaded.handler());
        ASSERT_TRUE(Tivrand::Testing::waitUntil([&] {
            return c.held ? !strategy->asked().empty() : server.hits(c.path) == hitsBefore + 1;
        }));
        lm(&view).cancelDownloadTask();
        if (c.held)
            strategy->retryHeld();
        ASSERT_TRUE(loaded.waitFor());
        EXPECT_TRUE(loaded.at(0).error().isTaskCancelled());
        Tivrand::Testing::pumpEvents(std::chrono::milliseconds(200));
        EXPECT_EQ(loaded.size(), 1u);
        EXPECT_EQ(server.hits(c.path), hitsBefore + 1);
        EXPECT_LE(strategy->asked().size(), 1u);
    }
}

using SlotLoadingTest = ViewLoadingTest;

TEST_F(SlotLoadingTest, ButtonImagesLoadIndependentlyAndReadBackFromTheirSlots)
{
    QPushButton button;
    Completions image;
    Completions alternate;
    lm(&button).setAlternateImage(source("/green.png"), nullptr, std::nullopt, {}, alternate.handler());
    ASSERT_TRUE(alternate.waitFor());
    // The icon fills its Off state from the On one; the image slot is still empty.
    EXPECT_EQ(colorOf(button.icon(), QIcon::Off), QColor(Qt::green));

    lm(&button).setImage(source("/red.png"), nullptr, std::nullopt, {}, image.handler());
    lm(&button).setAlternateImage(source("/green.png"), nullptr, std::nullopt, {}, alternate.handler());
    ASSERT_TRUE(image.waitFor() && alternate.waitFor(2));
    EXPECT_EQ(colorOf(button.icon(), QIcon::Off), QColor(Qt::red));
    EXPECT_EQ(colorOf(button.icon(), QIcon::On), QColor(Qt::green));
}

TEST_F(SlotLoadingTest, CancelReachesTheAttemptOfAnAlternativeSource)
{
    holdSlow();
    QAction action;
    Completions loaded;
    const LumenOptionsInfo options{Option::AlternativeSources{{source("/slow.png")}}};
    lm(&action).setImage(source("/missing.png"), nullptr, options, {}, loaded.handler());
    // The missing image fails at once; the held one is the running attempt.
    ASSERT_TRUE(Tivrand::Testing::waitUntil([&] { return server.hits("/slow.png") == 1; }));
    lm(&action).cancelDownloadTask();

    ASSERT_TRUE(loaded.waitFor());
    EXPECT_TRUE(loaded.at(0).error().isTaskCancelled());
    EXPECT_EQ(lm(&action).taskIdentifier(), std::nullopt);
}

TEST_F(SlotLoadingTest, AttachmentKeepingItsImageIsLeftUnaskedAndRelaidOutOnChange)
{
    QTextDocument document;
    document.setHtml(QStringLiteral("<img src=\"lumen://picture\">"));
    const TextAttachment attachment{&document, QUrl(QStringLiteral("lumen://picture"))};
    QSignalSpy changes(document.documentLayout(), &QAbstractTextDocumentLayout::update);

    Completions loaded;
    lm(attachment).setImage(source("/green.png"), imageOf(Qt::blue),
                            LumenOptionsInfo{Option::KeepCurrentImageWhileLoading{}}, {},
                            loaded.handler());
    EXPECT_EQ(lm(attachment).image(), nullptr);
    EXPECT_EQ(changes.count(), 0);
    ASSERT_TRUE(loaded.waitFor());
    EXPECT_GT(changes.count(), 0);
    EXPECT_EQ(lm(attachment).image(), loaded.at(0)->image);
}

// A resource given to an attachment goes to the downloader whatever its URL, which fetches no
// file; the same file URL made into a source first is read from disk.
TEST_F(SlotLoadingTest, AnAttachmentDownloadsAResourceEvenFromAFileURL)
{
    QTemporaryDir folder;
    const URLResource file(writeFile(folder.filePath(QStringLiteral("red.png")), redBytes));
    QTextDocument document;
    const TextAttachment attachment{&document, QUrl(QStringLiteral("lumen://file"))};
    for (const auto& [given, downloaded] : {std::pair(DownloadedSourceArgument(file), true),
                                            std::pair(DownloadedSourceArgument(file.convertToSource()), false)}) {
        SCOPED_TRACE(downloaded ? "resource" : "source");
        Completions loaded;
        lm(attachment).setImage(given, nullptr, std::nullopt, {}, loaded.handler());
        ASSERT_TRUE(loaded.waitFor());
        EXPECT_EQ(codeOf(loaded.at(0)) / 1000, downloaded ? 2 : 0) << "a response error, or the image";
    }
}

TEST_F(SlotLoadingTest, ClearedStatusItemStaysVisible)
{
    QSystemTrayIcon trayIcon;
    lm(&trayIcon).setImage(std::nullopt);
    EXPECT_FALSE(trayIcon.icon().isNull());
    EXPECT_FALSE(colorOf(trayIcon.icon()).isValid());
}

// The retrieval's threads ask whether a request is current while the GUI thread begins and
// ends requests.
TEST(TaskPropertyAccessorTest, CurrencyIsAskedFromOtherThreadsWhileRequestsComeAndGo)
{
    TaskPropertyAccessor task;
    std::atomic<bool> stop{false};
    std::thread checker([&] {
        while (!stop.load())
            (void)task.isCurrent(1);
    });
    for (TaskPropertyAccessor::Identifier identifier = 1; identifier <= 2000; ++identifier) {
        task.beginRequest(identifier);
        EXPECT_TRUE(task.isCurrent(identifier));
        task.endRequest();
    }
    stop = true;
    checker.join();
}

} // namespace
} // namespace Lumen::Testing
