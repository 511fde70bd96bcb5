#include "Lumen/download/AnyImageModifier.h"
#include "Lumen/download/AnyModifier.h"

#include <gtest/gtest.h>

#include <QFuture>

namespace Lumen::Testing {
namespace {

TEST(AnyModifier, BothFormsGiveTheBlocksAnswer)
{
    const AnyModifier addHeader([](const URLRequest& request) {
        URLRequest changed = request;
        changed.setValue(QByteArray("1"), "x-test");
        return std::optional(changed);
    });
    const AnyModifier veto([](const URLRequest&) { return std::nullopt; });
    const URLRequest request(QUrl(QStringLiteral("http://a/b.png")));

    EXPECT_EQ(addHeader.modifiedNow(request)->valueForHTTPHeaderField("X-Test"), QByteArray("1"));
    EXPECT_EQ(addHeader.modified(request).result(), addHeader.modifiedNow(request));
    EXPECT_FALSE(veto.modified(request).result());
}

TEST(AnyImageModifier, AFailingBlockLeavesTheVeryImage)
{
    const auto image = Image::make(QImage(2, 2, QImage::Format_ARGB32));
    const auto replacement = Image::make(QImage(1, 1, QImage::Format_ARGB32));
    const AnyImageModifier failing([](const ImagePtr&) { return std::unexpected(QStringLiteral("no")); });
    const AnyImageModifier replacing([&](const ImagePtr&) { return replacement; });
    EXPECT_EQ(failing.modify(image), image);
    EXPECT_EQ(replacing.modify(image), replacement);
}

} // namespace
} // namespace Lumen::Testing
