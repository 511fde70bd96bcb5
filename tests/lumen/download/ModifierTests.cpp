#include "Lumen/download/AnyImageModifier.h"
#include "Lumen/download/AnyModifier.h"

#include <gtest/gtest.h>

#include <QFuture>

namespace Lumen {
namespace {

// The downloader asks a synchronous modifier directly; the future form must give the same answer.
TEST(AnyModifier, TheFutureFormGivesTheBlocksAnswer)
{
    const AnyModifier addHeader([](URLRequest request) {
        request.setValue(QByteArray("1"), "x-test");
        return std::optional(request);
    });
    const auto modified = addHeader.modified(URLRequest(QUrl(QStringLiteral("http://a/b.png")))).result();
    ASSERT_TRUE(modified.has_value());
    // Field names match in any case.
    EXPECT_EQ(modified->valueForHTTPHeaderField("X-Test"), QByteArray("1"));
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
