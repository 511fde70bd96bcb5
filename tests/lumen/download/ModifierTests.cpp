#include "Lumen/download/AnyImageModifier.h"
#include "Lumen/download/AnyModifier.h"

#include <gtest/gtest.h>

#include <QFuture>

namespace Lumen {
namespace {

TEST(AnyModifier, BothFormsGiveTheBlocksAnswer)
{
    const AnyModifier addHeader([](URLRequest request) {
        request.setValue(QByteArray("1"), "x-test");
        return std::optional(request);
    });
    const URLRequest request(QUrl(QStringLiteral("http://a/b.png")));
    EXPECT_EQ(addHeader.modifiedNow(request)->valueForHTTPHeaderField("X-Test"), QByteArray("1"));
    EXPECT_EQ(addHeader.modified(request).result(), addHeader.modifiedNow(request));
}

TEST(AnyImageModifier, AFailingBlockLeavesTheVeryImage)
{
    const auto image = Image::make(QImage(2, 2, QImage::Format_ARGB32));
    const auto replacement = Image::make(QImage(1, 1, QImage::Format_ARGB32));
    EXPECT_EQ(AnyImageModifier([](const ImagePtr&) { return std::unexpected(QStringLiteral("no")); }).modify(image), image);
    EXPECT_EQ(AnyImageModifier([&](const ImagePtr&) { return replacement; }).modify(image), replacement);
}

} // namespace
} // namespace Lumen
