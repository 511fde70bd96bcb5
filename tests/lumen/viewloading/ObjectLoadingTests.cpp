#include "tests/lumen/viewloading/ViewLoadingTesting.h"

#include "Lumen/foundation/ImagePlaceholder.h"
#include "Lumen/views/loading/ButtonImageLoading.h"
#include "Lumen/views/loading/ImageComponentWrappers.h"
#include "Lumen/views/loading/ImageViewLoading.h"
#include "Lumen/views/loading/TextAttachmentLoading.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStandardItemModel>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTextDocument>
#include <QToolButton>

namespace Lumen::Testing {
namespace {

// One kind of object that `lm` loads into, seen the same way for every kind.
struct LoadTarget {
    std::function<std::shared_ptr<DownloadTask>(const SourceArgument&, const ImagePtr& placeholder, LumenOptionsInfo,
                                                ImageSettingCompletion)>
        load;
    // The colour of what the object shows; invalid for nothing.
    std::function<QColor()> shown;
    // Destroying it destroys the object.
    std::shared_ptr<QObject> owner;
};

// A target whose `lm` wrapper is an ImageSlotLoading, made by `wrap`.
template<class Wrap>
LoadTarget slotTarget(std::shared_ptr<QObject> owner, Wrap wrap, std::function<QColor()> shown)
{
    return {[wrap](const SourceArgument& source, const ImagePtr& placeholder, LumenOptionsInfo options,
                   ImageSettingCompletion handler) { return wrap().setImage(source, placeholder, options, {}, handler); },
            std::move(shown), std::move(owner)};
}

LoadTarget imageView()
{
    const QPointer view = new QLabel;
    return {[view](const SourceArgument& source, const ImagePtr& placeholder, LumenOptionsInfo options,
                   ImageSettingCompletion handler) {
                const auto shown = placeholder ? std::make_shared<ImagePlaceholder>(placeholder) : nullptr;
                return lm(view.data()).setImage(source, shown, options, {}, handler);
            },
            [view] { return colorOf(view->pixmap()); }, std::shared_ptr<QObject>(view.data())};
}

LoadTarget buttonAlternateImage()
{
    const QPointer button = new QPushButton;
    return {[button](const SourceArgument& source, const ImagePtr& placeholder, LumenOptionsInfo options,
                     ImageSettingCompletion handler) {
                return lm(button.data()).setAlternateImage(source, placeholder, options, {}, handler);
            },
            [button] { return colorOf(button->icon(), QIcon::On); }, std::shared_ptr<QObject>(button.data())};
}

LoadTarget buttonImage()
{
    const QPointer<QAbstractButton> button = new QPushButton;
    return slotTarget(std::shared_ptr<QObject>(button.data()), [button] { return lm(button.data()); },
                      [button] { return colorOf(button->icon()); });
}

LoadTarget textAttachment()
{
    const QPointer document = new QTextDocument;
    const QUrl name(QStringLiteral("lumen://picture"));
    document->setHtml(QStringLiteral("<p>Before <img src=\"lumen://picture\"> after</p>"));
    return slotTarget(
        std::shared_ptr<QObject>(document.data()), [document, name] { return lm(TextAttachment{document, name}); },
        [document, name] {
            return colorOf(QPixmap::fromImage(document->resource(QTextDocument::ImageResource, name).value<QImage>()));
        });
}

LoadTarget menuItem()
{
    const QPointer action = new QAction;
    return slotTarget(std::shared_ptr<QObject>(action.data()), [action] { return lm(action.data()); },
                      [action] { return colorOf(action->icon()); });
}

LoadTarget comboButton()
{
    const QPointer button = new QToolButton;
    return slotTarget(std::shared_ptr<QObject>(button.data()), [button] { return lm(button.data()); },
                      [button] { return colorOf(button->icon()); });
}

LoadTarget statusItem()
{
    const QPointer trayIcon = new QSystemTrayIcon;
    return slotTarget(std::shared_ptr<QObject>(trayIcon.data()), [trayIcon] { return lm(trayIcon.data()); },
                      [trayIcon] { return colorOf(trayIcon->icon()); });
}

LoadTarget tab()
{
    const QPointer tabs = new QTabWidget;
    const QPointer page = new QWidget;
    tabs->addTab(new QWidget, QStringLiteral("first"));
    tabs->addTab(page, QStringLiteral("second"));
    return slotTarget(std::shared_ptr<QObject>(tabs.data()), [tabs, page] { return lm(TabItem{tabs, page}); },
                      [tabs, page] {
                          // Indexes shift: the page's tab is found again.
                          return colorOf(tabs->tabIcon(tabs->indexOf(page)));
                      });
}

LoadTarget modelItem()
{
    const QPointer model = new QStandardItemModel;
    model->appendRow(new QStandardItem(QStringLiteral("first")));
    auto* item = new QStandardItem(QStringLiteral("second"));
    model->appendRow(item);
    return slotTarget(std::shared_ptr<QObject>(model.data()), [item] { return lm(item); },
                      [model] { return colorOf(model->item(1)->icon()); });
}

struct TargetKind {
    const char* name;
    LoadTarget (*make)();
};

const TargetKind targetKinds[] = {
    {"imageView", imageView},   {"buttonImage", buttonImage}, {"buttonAlternateImage", buttonAlternateImage},
    {"textAttachment", textAttachment}, {"menuItem", menuItem}, {"comboButton", comboButton},
    {"statusItem", statusItem}, {"tab", tab},                 {"modelItem", modelItem},
};

class ObjectLoadingTest : public ViewLoadingTest, public ::testing::WithParamInterface<TargetKind> {
protected:
    LoadTarget target = GetParam().make();
};

TEST_P(ObjectLoadingTest, ShowsPlaceholderThenImageAndClearsWithoutSource)
{
    Completions loaded;
    target.load(source("/red.png"), imageOf(Qt::blue), {}, loaded.handler());
    EXPECT_EQ(target.shown(), QColor(Qt::blue));
    ASSERT_TRUE(loaded.waitFor());
    ASSERT_TRUE(loaded.results[0].has_value());
    EXPECT_EQ(target.shown(), QColor(Qt::red));

    Completions cleared;
    EXPECT_EQ(target.load(std::nullopt, nullptr, {}, cleared.handler()), nullptr);
    ASSERT_EQ(cleared.results.size(), 1u);
    EXPECT_NE(cleared.error().reasonAs<LumenError::ImageSettingErrorReason::EmptySource>(), nullptr);
    EXPECT_FALSE(target.shown().isValid());
}

TEST_P(ObjectLoadingTest, FailureImageReplacesPlaceholder)
{
    Completions failed;
    target.load(source("/missing.png"), imageOf(Qt::blue), {Option::OnFailureImage{imageOf(Qt::green)}},
                failed.handler());
    ASSERT_TRUE(failed.waitFor());
    EXPECT_TRUE(failed.error().isInvalidResponseStatusCode(404));
    EXPECT_EQ(target.shown(), QColor(Qt::green));
}

TEST_P(ObjectLoadingTest, StaleResultIsNeverShown)
{
    holdSlow();
    Completions first;
    Completions second;
    target.load(source("/slow.png"), nullptr, {}, first.handler());
    target.load(source("/green.png"), nullptr, {}, second.handler());
    ASSERT_TRUE(second.waitFor());
    EXPECT_EQ(target.shown(), QColor(Qt::green));

    server.releaseResponses();
    ASSERT_TRUE(first.waitFor());
    const auto* stale = first.error().reasonAs<LumenError::ImageSettingErrorReason::NotCurrentSourceTask>();
    ASSERT_NE(stale, nullptr);
    ASSERT_NE(stale->result, nullptr);
    EXPECT_EQ(colorOf(QPixmap::fromImage(stale->result->image->bitmap())), QColor(Qt::red));
    EXPECT_EQ(target.shown(), QColor(Qt::green));
}

TEST_P(ObjectLoadingTest, ObjectDestroyedMidLoadIsNeverTouched)
{
    holdSlow();
    Completions loaded;
    target.load(source("/slow.png"), imageOf(Qt::blue), {}, loaded.handler());
    target.owner.reset();
    server.releaseResponses();

    ASSERT_TRUE(loaded.waitFor());
    Tivrand::Testing::pumpEvents(std::chrono::milliseconds(50));
    ASSERT_EQ(loaded.results.size(), 1u);
    EXPECT_TRUE(loaded.error().isNotCurrentTask());
}

INSTANTIATE_TEST_SUITE_P(Kinds, ObjectLoadingTest, ::testing::ValuesIn(targetKinds),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace Lumen::Testing
