#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/retrieval/AVAssetImageDataProvider.h"
#include "Lumen/retrieval/Base64ImageDataProvider.h"
#include "Lumen/retrieval/FFmpegAssetImageGenerator.h"
#include "Lumen/retrieval/LocalFileImageDataProvider.h"
#include "Lumen/retrieval/PHPickerResultImageDataProvider.h"
#include "Lumen/retrieval/RawImageDataProvider.h"
#include "Lumen/retrieval/RegularFileReading.h"
#include "Lumen/retrieval/ThumbnailImageDataProvider.h"
#include "Lumen/retrieval/VideoFrameDecoding.h"
#include "tests/lumen/foundation/FoundationTesting.h"
#include "tests/lumen/imaging/TestImages.h"
#include "tests/lumen/retrieval/RetrievalTesting.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QMimeDatabase>

#include <limits>

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
    EXPECT_TRUE(future.isFinished());

    const auto base64 = [](const QString& text) { return std::make_shared<Base64ImageDataProvider>(text, "k"); };
    const struct { const char* name; std::shared_ptr<ImageDataProvider> provider; std::optional<QByteArray> bytes; }
        table[] = {
        {"Base64", base64("aGk="), QByteArray("hi")},
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

TEST(PHPickerResultImageDataProvider, KeyIsTheAssetOrAFreshIdentifierOnEachRead)
{
    EXPECT_EQ(PHPickerResultImageDataProvider(picked(QStringLiteral("/p.png"), QStringLiteral("A1")), mimeType("image/png")).cacheKey(),
              QStringLiteral("A1_image/png"));

    const PHPickerResultImageDataProvider unnamed(picked(QStringLiteral("/p.png")), mimeType("image/png"));
    EXPECT_NE(unnamed.cacheKey(), unnamed.cacheKey());
    EXPECT_TRUE(unnamed.cacheKey().endsWith(QStringLiteral("_image/png")));
}

TEST(PHPickerResultImageDataProvider, LoadsTheFileAsAConformingType)
{
    QTemporaryDir dir;
    const QByteArray png = Testing::pngBytes({2, 2});
    const QString path = writeFile(dir.filePath(QStringLiteral("photo.png")), png).toLocalFile();

    // `cause`: the item provider's own error, which the provider's error carries.
    const struct { const char* name; QString path; const char* type; const char* cause; } table[] = {
        {"same type", path, "image/png", ""},
        {"parent type", path, "application/octet-stream", ""},
        {"other type", path, "image/jpeg", "Lumen.PickerItemProviderError 0"},
        {"missing file", dir.filePath(QStringLiteral("none.png")), "image/png", "POSIX 2"},
        {"folder", dir.path(), "image/png", "POSIX 21"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        const bool loads = *row.cause == '\0';
        const auto result = dataOf(PHPickerResultImageDataProvider(picked(row.path), mimeType(row.type)));
        EXPECT_EQ(result.value_or(QByteArray()), loads ? png : QByteArray());
        EXPECT_EQ(Testing::errorOf(result), loads ? QString() : "Lumen.PHPickerResultImageDataProviderError 0");
        const UnderlyingError* cause = result ? nullptr : result.error().payload<UnderlyingError>();
        EXPECT_EQ(cause ? Testing::errorOf(std::unexpected(*cause)) : QString(), QLatin1String(row.cause));
    }
}

// 16x8 pixels, one frame a second: the left half red, green, then yellow; the right half blue.
QUrl movie(const char* name)
{
    return QUrl::fromLocalFile(QStringLiteral(TIVRAND_TEST_FIXTURES "/video/") + QString::fromLatin1(name));
}

// A generator that answers at once with what the test gives it.
class AnsweringGenerator final : public AssetImageGenerator {
public:
    explicit AnsweringGenerator(Answer answer) : m_answer(std::move(answer)) {}
    std::optional<QUrl> assetURL() const override { return std::nullopt; }
    void generateImage(MediaTime, Completion completion) override { completion(m_answer); }

private:
    Answer m_answer;
};

TEST(AVAssetImageDataProvider, EncodesTheUprightFrameAtTheTimeAsJpeg)
{
    // `probe`: where the left half of the picture ends up, and `colour` its colour.
    const struct { const char* file; double seconds; QSize size; QPoint probe; char colour; } table[] = {
        {"frames.mp4", 0.0, QSize(16, 8), QPoint(2, 4), 'R'},
        {"frames.mp4", 60.0, QSize(16, 8), QPoint(2, 4), 'Y'},
        // Turned a quarter counter-clockwise: the left half comes to the bottom.
        {"rotated.mp4", 1.0, QSize(8, 16), QPoint(4, 13), 'G'},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(testing::Message() << row.file << " at " << row.seconds);
        const auto result = dataOf(AVAssetImageDataProvider(movie(row.file), row.seconds));
        ASSERT_TRUE(result.has_value()) << result.error().description().toStdString();
        const QImage frame = QImage::fromData(*result, "JPEG");
        ASSERT_EQ(frame.size(), row.size);
        EXPECT_EQ(Testing::colourName(frame.pixel(row.probe)), row.colour);
    }
}

TEST(AVAssetImageDataProvider, FailsCleanlyOnWhatIsNotALocalMovie)
{
    QTemporaryDir dir;
    const QUrl text = writeFile(dir.filePath(QStringLiteral("clip.mp4")), QByteArray(4096, 'x'));
    const struct { const char* name; QUrl url; double seconds; const char* domain; } table[] = {
        {"missing file", QUrl::fromLocalFile(dir.filePath(QStringLiteral("none.mp4"))), 0, "POSIX"},
        {"folder", QUrl::fromLocalFile(dir.path()), 0, "POSIX"},
        {"not a movie", text, 0, videoErrorDomain},
        {"remote URL", QUrl(QStringLiteral("http://127.0.0.1:9/clip.mp4")), 0, videoErrorDomain},
        {"time out of range", movie("frames.mp4"), std::numeric_limits<double>::infinity(), videoErrorDomain},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        const QString error = Testing::errorOf(dataOf(AVAssetImageDataProvider(row.url, row.seconds)));
        EXPECT_TRUE(error.startsWith(QString::fromLatin1(row.domain) + u' ')) << error.toStdString();
    }
}

TEST(AVAssetImageDataProvider, KeyNamesTheMovieAndTheTime)
{
    EXPECT_EQ(AVAssetImageDataProvider(QUrl(QStringLiteral("file:///m/Shop.app/clip.mp4")), 1.0).cacheKey(),
              QStringLiteral("lumen.local.cacheKey/Shop.app/clip.mp4_1.0"));
    EXPECT_EQ(AVAssetImageDataProvider(QUrl(QStringLiteral("https://v.example.com/clip.mp4?q=1")), MediaTime{300, 600}).cacheKey(),
              QStringLiteral("https://v.example.com/clip.mp4?q=1_0.5"));

    // A movie without a URL gets a fresh key on each read.
    const AVAssetImageDataProvider unnamed(std::make_shared<AnsweringGenerator>(AssetImageGenerator::Answer{}),
                                           MediaTime{600, 600});
    EXPECT_NE(unnamed.cacheKey(), unnamed.cacheKey());
    EXPECT_TRUE(unnamed.cacheKey().endsWith(QStringLiteral("_1.0")));
}

TEST(AVAssetImageDataProvider, GeneratorErrorComesFirstThenCancellationThenTheImage)
{
    using Result = AssetImageGenerator::Result;
    const UnderlyingError generatorError(QStringLiteral("Generator"), 7, QStringLiteral("broken"));
    const QImage image = solidBitmap(QSize(4, 4), Qt::red);
    // Wider than JPEG allows: the frame comes but cannot be encoded, so the error carries it.
    const QImage wide = solidBitmap(QSize(70000, 1), Qt::red);
    const struct { AssetImageGenerator::Answer answer; const char* error; QSize carried; } table[] = {
        {{image, Result::cancelled, generatorError}, "Generator 7", {}},
        {{image, Result::cancelled, std::nullopt}, "Lumen.AVAssetImageDataProviderError 1", {}},
        {{image, Result::succeeded, std::nullopt}, "", {}},
        {{QImage(), Result::succeeded, std::nullopt}, "Lumen.AVAssetImageDataProviderError 0", {}},
        {{wide, Result::succeeded, std::nullopt}, "Lumen.AVAssetImageDataProviderError 0", wide.size()},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.error);
        const auto result = dataOf(AVAssetImageDataProvider(std::make_shared<AnsweringGenerator>(row.answer), MediaTime{0, 600}));
        EXPECT_EQ(Testing::errorOf(result), QLatin1String(row.error));
        EXPECT_EQ(QImage::fromData(result.value_or(QByteArray()), "JPEG").size(), result ? image.size() : QSize(0, 0));
        const QImage* carried = result ? nullptr : result.error().payload<QImage>();
        EXPECT_EQ(carried ? carried->size() : QSize(), row.carried);
    }
}

TEST(FFmpegAssetImageGenerator, CancelledRequestsAnswerCancelled)
{
    const auto queue = DispatchQueue::makeSerial(QStringLiteral("test.generator"));
    FFmpegAssetImageGenerator generator(movie("frames.mp4"), queue);
    Testing::Gate gate;
    queue->async([&] { gate.wait(); });
    std::optional<AssetImageGenerator::Answer> before;
    std::optional<AssetImageGenerator::Answer> after;
    generator.generateImage(MediaTime{0, 600}, [&](AssetImageGenerator::Answer answer) { before = std::move(answer); });
    generator.cancelAllImageGeneration();
    generator.generateImage(MediaTime{0, 600}, [&](AssetImageGenerator::Answer answer) { after = std::move(answer); });
    gate.open();
    ASSERT_TRUE(Tivrand::Testing::waitUntil([&] { return queue->sync([&] { return after.has_value(); }).value_or(false); }));
    EXPECT_EQ(before->result, AssetImageGenerator::Result::cancelled);
    EXPECT_EQ(after->result, AssetImageGenerator::Result::succeeded);
}

} // namespace
} // namespace Lumen
