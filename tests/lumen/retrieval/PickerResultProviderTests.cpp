#include "Lumen/retrieval/PHPickerResultImageDataProvider.h"
#include "tests/lumen/imaging/TestImages.h"
#include "tests/lumen/retrieval/ProviderTesting.h"

#include <gtest/gtest.h>

#include <QMimeDatabase>
#include <QRegularExpression>
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
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}_image/png$"))
                    .match(first.cacheKey())
                    .hasMatch())
        << first.cacheKey().toStdString();
}

TEST(PHPickerResultImageDataProvider, LoadsTheFileAsAConformingType)
{
    QTemporaryDir dir;
    const QByteArray png = Tivrand::Testing::encodedBitmap(Tivrand::Testing::solidBitmap(QSize(2, 2), Qt::red), "png");
    const QString path = dir.filePath(QStringLiteral("photo.png"));
    Testing::writeFile(path, png);

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
