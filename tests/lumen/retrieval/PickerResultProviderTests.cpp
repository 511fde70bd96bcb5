#include "Lumen/retrieval/PHPickerResultImageDataProvider.h"
#include "tests/lumen/retrieval/RetrievalTesting.h"

#include <gtest/gtest.h>

#include <QMimeDatabase>
#include <QTemporaryDir>

namespace Lumen {
namespace {

using Testing::dataOf;

QMimeType mimeType(const char* name)
{
    return QMimeDatabase().mimeTypeForName(QString::fromLatin1(name));
}

PickerResult picked(const QString& path, std::optional<QString> assetIdentifier = std::nullopt)
{
    return PickerResult{PickerItemProvider(QUrl::fromLocalFile(path)), std::move(assetIdentifier)};
}

TEST(PHPickerResultImageDataProvider, KeyIsTheAssetOrOneFreshIdentifierPerProvider)
{
    EXPECT_EQ(PHPickerResultImageDataProvider(picked(QStringLiteral("/p.png"), QStringLiteral("A1")), mimeType("image/png")).cacheKey(),
              QStringLiteral("A1_image/png"));

    const PHPickerResultImageDataProvider first(picked(QStringLiteral("/p.png")), mimeType("image/png"));
    const PHPickerResultImageDataProvider second(picked(QStringLiteral("/p.png")), mimeType("image/png"));
    EXPECT_EQ(first.cacheKey(), first.cacheKey());
    EXPECT_NE(first.cacheKey(), second.cacheKey());
    EXPECT_TRUE(first.cacheKey().endsWith(QStringLiteral("_image/png")));
}

TEST(PHPickerResultImageDataProvider, LoadsTheFileAsAConformingType)
{
    QTemporaryDir dir;
    const QByteArray png = Testing::pngBytes({2, 2});
    const QString path = Testing::writeFile(dir.filePath(QStringLiteral("photo.png")), png).toLocalFile();

    const struct { const char* name; QString path; const char* type; bool loads; } table[] = {
        {"same type", path, "image/png", true},
        {"parent type", path, "application/octet-stream", true},
        {"other type", path, "image/jpeg", false},
        {"missing file", dir.filePath(QStringLiteral("none.png")), "image/png", false},
        {"folder", dir.path(), "image/png", false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        const auto result = dataOf(PHPickerResultImageDataProvider(picked(row.path), mimeType(row.type)));
        EXPECT_EQ(result.value_or(QByteArray()), row.loads ? png : QByteArray());
        EXPECT_EQ(Testing::errorOf(result), row.loads ? QString() : "Lumen.PHPickerResultImageDataProviderError 0");
    }
}

} // namespace
} // namespace Lumen
