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
    ImagePlaceholder placeholder(solidImage(40, 20, 2.0));
    placeholder.addTo(view);
    EXPECT_EQ(view.pixmap().devicePixelRatio(), 2.0);
    ImagePlaceholder(Image::makeEmpty()).addTo(view);
    EXPECT_TRUE(view.pixmap().isNull());

    // A widget that carries an image gets the very object.
    ImageWidget widget;
    placeholder.addTo(static_cast<QWidget&>(widget));
    EXPECT_EQ(widget.image(), placeholder.image());
    placeholder.removeFrom(static_cast<QWidget&>(widget));
    EXPECT_EQ(widget.image(), nullptr);
}

TEST(WidgetPlaceholder, CoversTheViewFollowsItsSizeAndLeavesCleanly)
{
    QLabel view, otherView;
    WidgetPlaceholder placeholder{std::make_unique<QWidget>()};
    QWidget* overlay = placeholder.widget();
    view.show();
    otherView.show();
    placeholder.addTo(view);
    placeholder.addTo(otherView);
    view.resize(10, 10);
    otherView.resize(200, 50);
    EXPECT_EQ(overlay->geometry(), QRect(0, 0, 200, 50));
    // A removal from a view it has left is ignored.
    placeholder.removeFrom(view);
    EXPECT_EQ(overlay->parentWidget(), &otherView);

    placeholder.removeFrom(otherView);
    EXPECT_TRUE(otherView.findChildren<QWidget*>().isEmpty());
    otherView.resize(30, 30); // no longer followed
    EXPECT_EQ(overlay->geometry(), QRect(0, 0, 200, 50));
}

TEST(WidgetPlaceholder, OwnsItsWidgetAndSurvivesItsViewBeingDeleted)
{
    QLabel view;
    {
        WidgetPlaceholder placeholder(std::make_unique<QWidget>());
        placeholder.addTo(view);
    }
    EXPECT_TRUE(view.findChildren<QWidget*>().isEmpty());

    WidgetPlaceholder placeholder(std::make_unique<QWidget>());
    {
        QLabel shortLivedView;
        placeholder.addTo(shortLivedView);
    }
    placeholder.addTo(view);
    placeholder.removeFrom(view);
    EXPECT_EQ(placeholder.widget(), nullptr);
}

} // namespace
} // namespace Lumen
