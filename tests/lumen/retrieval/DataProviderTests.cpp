#include "Lumen/retrieval/Base64ImageDataProvider.h"
#include "Lumen/retrieval/LocalFileImageDataProvider.h"
#include "Lumen/retrieval/PHPickerResultImageDataProvider.h"
#include "Lumen/retrieval/RawImageDataProvider.h"
#include "Lumen/retrieval/RegularFileReading.h"
#include "Lumen/retrieval/ThumbnailImageDataProvider.h"
#include "tests/lumen/imaging/TestImages.h"
#include "tests/lumen/retrieval/RetrievalTesting.h"

#include <QBuffer>
#include <QImageReader>
#include <QMimeDatabase>

#include <sys/stat.h>
#include <unistd.h>

namespace Lumen {
namespace {

using Testing::dataOf;
using Testing::writeFile;
using Tivrand::Testing::encodedBitmap;
using Tivrand::Testing::solidBitmap;
using Tivrand::Testing::solidGif;

TEST(LocalFileImageDataProvider, ReadsRegularFilesWithinTheLimitOnly)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("a.png")), fifo = dir.filePath(QStringLiteral("fifo")),
                  huge = dir.filePath(QStringLiteral("huge"));
    writeFile(file, QByteArray("bytes"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    writeFile(huge, {});
    ASSERT_EQ(::truncate(QFile::encodeName(huge).constData(), providedFileSizeLimit + 1), 0);

    const struct { const char* name; QUrl url; std::optional<int> errorCode; } table[] = {
        {"regular file", QUrl::fromLocalFile(file), std::nullopt},
        {"missing file", QUrl::fromLocalFile(dir.filePath(QStringLiteral("none"))), ENOENT},
        {"folder", QUrl::fromLocalFile(dir.path()), EISDIR},
        {"FIFO", QUrl::fromLocalFile(fifo), EINVAL},
        {"device", QUrl::fromLocalFile(QStringLiteral("/dev/zero")), EINVAL},
        {"above the limit", QUrl::fromLocalFile(huge), EFBIG},
        {"remote URL", QUrl(QStringLiteral("https://img.example.com/a.png")), EINVAL},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        const auto result = dataOf(LocalFileImageDataProvider(row.url));
        EXPECT_EQ(Testing::errorOf(result), row.errorCode ? "POSIX " + QString::number(*row.errorCode) : QString());
        EXPECT_EQ(result.value_or("?"), row.errorCode ? "?" : QByteArray("bytes"));
    }
}

TEST(InMemoryProviders, AnswerBeforeReturning)
{
    const auto future = RawImageDataProvider(QByteArray("raw"), QStringLiteral("k")).dataAsync();
    ASSERT_TRUE(future.isFinished());
    EXPECT_EQ(future.result(), QByteArray("raw"));

    const auto base64 = [](const QString& text) { return std::make_shared<Base64ImageDataProvider>(text, "k"); };
    const struct {
        const char* name;
        std::shared_ptr<ImageDataProvider> provider;
        std::optional<QByteArray> bytes;
    } table[] = {
        {"raw, empty", std::make_shared<RawImageDataProvider>(QByteArray(), QStringLiteral("k")), QByteArray()},
        {"Base64", base64("aGk="), QByteArray("hi")},
        {"Base64, empty", base64(QString()), QByteArray()},
        {"Base64, unpadded", base64("aGk"), std::nullopt},
        {"Base64, line break", base64("aGk=\n"), std::nullopt},
        {"Base64, outside the alphabet", base64("a*k="), std::nullopt},
        {"Base64, not Latin-1", base64(QStringLiteral("a\u4e00k=")), std::nullopt},
        {"Base64, padding inside", base64("aGk=aGk="), std::nullopt},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        std::optional<ImageDataProvider::Result> answer;
        row.provider->data([&](ImageDataProvider::Result result) { answer = std::move(result); });
        ASSERT_TRUE(answer.has_value());
        if (row.bytes)
            EXPECT_EQ(*answer, *row.bytes);
        else
            EXPECT_EQ(answer->has_value() ? QString() : answer->error().domain(), "Lumen.Base64ImageDataProviderError");
    }
}

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
