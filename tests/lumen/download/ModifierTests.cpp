#include "Lumen/download/AnyImageModifier.h"
#include "Lumen/download/AnyModifier.h"

#include <gtest/gtest.h>

#include <QFuture>

namespace Lumen {
namespace {

// The downloader asks a synchronous modifier directly; the future form must give the same answer.
TEST(AnyModifier, TheFutureFormGivesTheBlocksAnswer)
{
    const URLRequest request(QUrl(QStringLiteral("http://a/b.png")));
    const AnyModifier unchanged([](URLRequest same) { return std::optional(same); });
    EXPECT_EQ(unchanged.modified(request).result(), std::optional(request));
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
