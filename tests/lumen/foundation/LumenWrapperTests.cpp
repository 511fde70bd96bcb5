#include "Lumen/foundation/LumenWrapper.h"

#include <gtest/gtest.h>

namespace Lumen {
namespace {

TEST(LumenWrapper, WrapsTheVeryImage)
{
    const ImagePtr image = Image::makeEmpty();
    const auto first = lm(image);
    const auto second = lm(image);
    EXPECT_EQ(first.base(), image);
    EXPECT_EQ(second.base(), image);

    // The wrapper keeps the image alive while it exists.
    std::weak_ptr<Image> watch = image;
    auto wrapper = lm(Image::makeEmpty());
    watch = wrapper.base();
    EXPECT_FALSE(watch.expired());
}

TEST(LumenWrapper, WrapsCopiesOfValues)
{
    QString key = QStringLiteral("photo.png");
    const auto wrapper = lm(key);
    key.append(QStringLiteral("@2x"));
    EXPECT_EQ(wrapper.base(), QStringLiteral("photo.png"));

    QByteArray data("GIF8");
    const auto dataWrapper = lm(data);
    data[0] = 'X';
    EXPECT_EQ(dataWrapper.base(), QByteArray("GIF8"));

    EXPECT_EQ(lm(QSizeF(3, 4)).base(), QSizeF(3, 4));
}

} // namespace
} // namespace Lumen
