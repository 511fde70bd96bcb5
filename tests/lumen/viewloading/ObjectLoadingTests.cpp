#include "tests/lumen/viewloading/ViewLoadingTesting.h"

#include "Lumen/foundation/ImagePlaceholder.h"
#include "Lumen/views/AnimatedImageView.h"
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

// A target over `object`: `load(object, source, placeholder, options, handler)` and `shown(object)`.
template<class Object, class Load, class Shown>
LoadTarget target(Object* object, Load load, Shown shown)
{
    const QPointer<Object> held(object);
    return {[held, load](const SourceArgument& source, const ImagePtr& placeholder, LumenOptionsInfo options,
                         ImageSettingCompletion handler) { return load(held.data(), source, placeholder, options, handler); },
            [held, shown] { return shown(held.data()); }, std::shared_ptr<QObject>(object)};
}

// A target loaded through `setImage` of the wrapper that `wrap` makes from the object.
template<class Object, class Wrap, class Shown>
LoadTarget slotTarget(Object* object, Wrap wrap, Shown shown)
{
    return target(
        object,
        [wrap](Object* o, const auto& source, const auto& placeholder, auto options, auto handler) {
            return wrap(o).setImage(source, placeholder, options, {}, handler);
        },
        shown);
}

// An image view, given its placeholder as an image placeholder.
template<class View, class Shown>
LoadTarget imageViewTarget(View* view, Shown shown)
{
    return target(
        view,
        [](View* v, const auto& source, const ImagePtr& placeholder, auto options, auto handler) {
            const auto shownPlaceholder = placeholder ? std::make_shared<ImagePlaceholder>(placeholder) : nullptr;
            return lm(v).setImage(source, shownPlaceholder, options, {}, handler);
        },
        shown);
}

template<class Object>
LoadTarget iconTarget(Object* object)
{
    return slotTarget(object, [](Object* o) { return lm(o); }, [](Object* o) { return colorOf(o->icon()); });
}

struct TargetKind {
    const char* name;
    LoadTarget (*make)();
};

const TargetKind targetKinds[] = {
    {"imageView", [] { return imageViewTarget(new QLabel, [](QLabel* view) { return colorOf(view->pixmap()); }); }},
    {"animatedImageView",
     [] {
         return imageViewTarget(new AnimatedImageView, [](AnimatedImageView* view) {
             return view->image() ? colorOf(QPixmap::fromImage(view->image()->bitmap())) : QColor();
         });
     }},
    {"buttonImage", [] { return iconTarget<QAbstractButton>(new QPushButton); }},
    {"buttonAlternateImage",
     [] {
         return target(
             new QPushButton,
             [](QPushButton* button, const auto& source, const auto& placeholder, auto options, auto handler) {
                 return lm(button).setAlternateImage(source, placeholder, options, {}, handler);
             },
             [](QPushButton* button) { return colorOf(button->icon(), QIcon::On); });
     }},
    {"textAttachment",
     [] {
         auto* document = new QTextDocument;
         document->setHtml(QStringLiteral("<p>Before <img src=\"lumen://picture\"> after</p>"));
         static const QUrl name(QStringLiteral("lumen://picture"));
         return slotTarget(
             document, [](QTextDocument* d) { return lm(TextAttachment{d, name}); },
             [](QTextDocument* d) {
                 return colorOf(QPixmap::fromImage(d->resource(QTextDocument::ImageResource, name).value<QImage>()));
             });
     }},
    {"menuItem", [] { return iconTarget(new QAction); }},
    {"comboButton", [] { return iconTarget(new QToolButton); }},
    {"statusItem", [] { return iconTarget(new QSystemTrayIcon); }},
    {"tab",
     [] {
         auto* tabs = new QTabWidget;
         const QPointer page = new QWidget;
         tabs->addTab(new QWidget, QStringLiteral("first"));
         tabs->addTab(page, QStringLiteral("second"));
         // Indexes shift: the page's tab is found again.
         return slotTarget(
             tabs, [page](QTabWidget* t) { return lm(TabItem{t, page}); },
             [page](QTabWidget* t) { return colorOf(t->tabIcon(t->indexOf(page))); });
     }},
    {"modelItem",
     [] {
         auto* model = new QStandardItemModel;
         model->appendRow(new QStandardItem(QStringLiteral("first")));
         auto* item = new QStandardItem(QStringLiteral("second"));
         model->appendRow(item);
         return slotTarget(
             model, [item](QStandardItemModel*) { return lm(item); },
             [](QStandardItemModel* m) { return colorOf(m->item(1)->icon()); });
     }},
};

class ObjectLoadingTest : public ViewLoadingTest, public ::testing::WithParamInterface<TargetKind> {
protected:
    LoadTarget target = GetParam().make();
};

TEST_P(ObjectLoadingTest, ShowsPlaceholderThenFailureImageOrImageAndClearsWithoutSource)
{
    Completions failed;
    target.load(source("/missing.png"), imageOf(Qt::blue), {Option::OnFailureImage{imageOf(Qt::green)}},
                failed.handler());
    EXPECT_EQ(target.shown(), QColor(Qt::blue));
    ASSERT_TRUE(failed.waitFor());
    EXPECT_EQ(target.shown(), QColor(Qt::green));

    Completions cleared;
    EXPECT_EQ(target.load(std::nullopt, nullptr, {}, cleared.handler()), nullptr);
    ASSERT_EQ(cleared.size(), 1u);
    EXPECT_NE(cleared.at(0).error().reasonAs<LumenError::ImageSettingErrorReason::EmptySource>(), nullptr);
    EXPECT_FALSE(target.shown().isValid());
}

TEST_P(ObjectLoadingTest, StaleResultIsNeverShown)
{
    holdSlow();
    Completions first;
    Completions second;
    target.load(source("/slow.png"), nullptr, {}, first.handler());
    target.load(source("/green.png"), nullptr, {}, second.handler());
    ASSERT_TRUE(second.waitFor());
    server.releaseResponses();
    ASSERT_TRUE(first.waitFor());
    const LumenError error = first.at(0).error();
    const auto* stale = error.reasonAs<LumenError::ImageSettingErrorReason::NotCurrentSourceTask>();
    EXPECT_TRUE(stale && stale->result);
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
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_TRUE(loaded.at(0).error().isNotCurrentTask());
}

TEST_F(ViewLoadingTest, KeepingTheCurrentImageKeepsAnIconTheProgramSetWhileTheTaskRuns)
{
    holdSlow();
    QAction action;
    QPixmap blue(8, 8);
    blue.fill(Qt::blue);
    action.setIcon(QIcon(blue));
    Completions loaded;
    lm(&action).setImage(source("/slow.png"), imageOf(Qt::green), LumenOptionsInfo{Option::KeepCurrentImageWhileLoading{}},
                         {}, loaded.handler());
    EXPECT_EQ(colorOf(action.icon()), QColor(Qt::blue));
    EXPECT_NE(lm(&action).imageTask(), nullptr);
    server.releaseResponses();
    ASSERT_TRUE(loaded.waitFor());
    EXPECT_EQ(colorOf(action.icon()), QColor(Qt::red));
    EXPECT_EQ(lm(&action).imageTask(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ObjectLoadingTest, ::testing::ValuesIn(targetKinds),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace Lumen::Testing
