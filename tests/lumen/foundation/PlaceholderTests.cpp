#include "Lumen/foundation/ImagePlaceholder.h"
#include "Lumen/foundation/LumenHasImageComponent.h"
#include "Lumen/foundation/WidgetPlaceholder.h"
#include "tests/lumen/imaging/TestImages.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPixmap>

namespace Lumen {
namespace {

ImagePtr solidImage(int width, int height, double scale = 1.0)
{
    return Image::make(Tivrand::Testing::solidBitmap(QSize(width, height), Qt::blue), scale);
}

class ImageWidget final : public QWidget, public LumenHasImageComponent {
public:
    ImagePtr image() const override { return m_image; }
    void setImage(ImagePtr image) override { m_image = std::move(image); }

private:
    ImagePtr m_image;
};

TEST(ImagePlaceholder, ReplacesAndClearsTheViewsImage)
{
    QLabel view;
    view.setPixmap(QPixmap::fromImage(solidImage(5, 5)->bitmap()));
    ImagePlaceholder placeholder(solidImage(40, 20, 2.0));
    placeholder.addTo(view);
    EXPECT_EQ(view.pixmap().size(), QSize(40, 20));
    EXPECT_EQ(view.pixmap().devicePixelRatio(), 2.0);
    placeholder.removeFrom(view);
    EXPECT_TRUE(view.pixmap().isNull());

    for (const ImagePtr& image : {ImagePtr(), Image::makeEmpty()}) {
        view.setPixmap(QPixmap::fromImage(solidImage(5, 5)->bitmap()));
        ImagePlaceholder(image).addTo(view);
        EXPECT_TRUE(view.pixmap().isNull());
    }

    // A widget that carries an image gets the very object.
    ImageWidget widget;
    widget.setImage(solidImage(1, 1));
    placeholder.addTo(static_cast<QWidget&>(widget));
    EXPECT_EQ(widget.image(), placeholder.image());
    placeholder.removeFrom(static_cast<QWidget&>(widget));
    EXPECT_EQ(widget.image(), nullptr);
}

class WidgetPlaceholderTest : public ::testing::Test {
protected:
    void SetUp() override { view.resize(120, 80), view.show(); }
    QLabel view;
    WidgetPlaceholder placeholder{std::make_unique<QWidget>()};
    QWidget* overlay = placeholder.widget();
};

TEST_F(WidgetPlaceholderTest, CoversTheViewFollowsItsSizeAndLeavesCleanly)
{
    placeholder.addTo(view);
    EXPECT_EQ(overlay->parentWidget(), &view);
    EXPECT_TRUE(overlay->isVisible());
    view.resize(200, 50);
    EXPECT_EQ(overlay->geometry(), QRect(0, 0, 200, 50));

    placeholder.removeFrom(view);
    EXPECT_EQ(overlay->parentWidget(), nullptr);
    EXPECT_FALSE(overlay->isVisible());
    EXPECT_TRUE(view.findChildren<QWidget*>().isEmpty());
    view.resize(30, 30); // no longer followed
    EXPECT_EQ(overlay->geometry(), QRect(0, 0, 200, 50));
}

TEST_F(WidgetPlaceholderTest, MovesBetweenViewsAndIgnoresForeignRemoval)
{
    QLabel otherView;
    otherView.resize(60, 60);
    otherView.show();
    placeholder.addTo(view);
    placeholder.addTo(otherView);
    EXPECT_EQ(overlay->parentWidget(), &otherView);
    view.resize(10, 10);
    EXPECT_EQ(overlay->geometry(), otherView.rect());
    placeholder.removeFrom(view);
    EXPECT_EQ(overlay->parentWidget(), &otherView);
}

TEST(WidgetPlaceholder, OwnsItsWidgetAndSurvivesItsViewBeingDeleted)
{
    QLabel view;
    QPointer<QWidget> overlay;
    {
        WidgetPlaceholder placeholder(std::make_unique<QWidget>());
        overlay = placeholder.widget();
        placeholder.addTo(view);
    }
    EXPECT_TRUE(overlay.isNull());
    EXPECT_TRUE(view.findChildren<QWidget*>().isEmpty());

    WidgetPlaceholder placeholder(std::make_unique<QWidget>());
    {
        QLabel shortLivedView;
        placeholder.addTo(shortLivedView);
    }
    EXPECT_EQ(placeholder.widget(), nullptr);
    placeholder.addTo(view);
    placeholder.removeFrom(view);
    EXPECT_TRUE(view.findChildren<QWidget*>().isEmpty());
}

} // namespace
} // namespace Lumen
