#include "Lumen/foundation/LumenError.h"
#include "Lumen/retrieval/ThumbnailImageDataProvider.h"
#include "tests/lumen/imaging/TestImages.h"
#include "tests/lumen/retrieval/RetrievalTesting.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace Lumen {
namespace {

using Testing::dataOf;
using Testing::writeFile;
using Tivrand::Testing::encodedBitmap;
using Tivrand::Testing::solidBitmap;
using Tivrand::Testing::solidGif;

TEST(ThumbnailImageDataProvider, KeyIsMadeOnceFromTheFields)
{
    const QUrl url(QStringLiteral("file:///pics/a b.png"));
    ThumbnailImageDataProvider made(url, 0.5, false);
    made.setMaxPixelSize(50);
    made.setAlwaysCreateThumbnail(true);
    EXPECT_EQ(made.cacheKey(), QStringLiteral("file:///pics/a%20b.png_thumb_0.5_false"));
    EXPECT_EQ(ThumbnailImageDataProvider(url, 200, true, QStringLiteral("given")).cacheKey(), QStringLiteral("given"));
}

TEST(ThumbnailImageDataProvider, EncodesTheThumbnailInTheSourceFormatOrPng)
{
    QTemporaryDir dir;
    // Thumbnails stay small: Qt scales large ones on its own thread pool, whose teardown at exit
    // ThreadSanitizer misreads.
    const struct { const char* name; QByteArray bytes; QSize size; QByteArray format; } table[] = {
        {"PNG", encodedBitmap(solidBitmap(QSize(400, 100), Qt::red), "png"), QSize(200, 50), "png"},
        {"JPEG", encodedBitmap(solidBitmap(QSize(100, 400), Qt::red), "jpeg"), QSize(50, 200), "jpeg"},
        {"PNG, never enlarged", encodedBitmap(solidBitmap(QSize(40, 10), Qt::red), "png"), QSize(40, 10), "png"},
        // Qt writes no GIF.
        {"GIF", solidGif(QSize(400, 200), 2), QSize(200, 100), "png"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        auto result = dataOf(ThumbnailImageDataProvider(writeFile(dir.filePath(row.name), row.bytes), 200, true));
        ASSERT_TRUE(result.has_value()) << result.error().description().toStdString();
        QBuffer buffer(&*result);
        QImageReader reader(&buffer);
        EXPECT_EQ(reader.format(), row.format);
        EXPECT_EQ(reader.size(), row.size);
    }
}

TEST(ThumbnailImageDataProvider, FailuresNameTheirStep)
{
    QTemporaryDir dir;
    const QUrl text = writeFile(dir.filePath("text.png"), "not an image at all");
    const QUrl image = writeFile(dir.filePath("image.png"), encodedBitmap(solidBitmap(QSize(4, 4), Qt::red), "png"));
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    const QString invalidImageSource = "Lumen.ThumbnailImageDataProviderError 0";
    const QString invalidThumbnail = "Lumen.ThumbnailImageDataProviderError 1";
    const struct { const char* name; QUrl url; double maxPixelSize; QString error; } table[] = {
        {"missing file", QUrl::fromLocalFile(dir.filePath(QStringLiteral("none"))), 200, invalidImageSource},
        {"FIFO", QUrl::fromLocalFile(fifo), 200, invalidImageSource},
        {"remote URL", QUrl(QStringLiteral("https://img.example.com/a.png")), 200, invalidImageSource},
        {"not an image", text, 200, invalidThumbnail},
        {"no pixels allowed", image, 0, invalidThumbnail},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Testing::errorOf(dataOf(ThumbnailImageDataProvider(row.url, row.maxPixelSize, true))), row.error);
    }

    const auto empty = dataOf(ThumbnailImageDataProvider(QUrl(), 200, true));
    ASSERT_TRUE(!empty.has_value() && empty.error().lumenError());
    EXPECT_NE(empty.error().lumenError()->reasonAs<LumenError::ImageSettingErrorReason::EmptySource>(), nullptr);
}

} // namespace
} // namespace Lumen
