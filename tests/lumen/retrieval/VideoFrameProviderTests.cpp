#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/retrieval/AVAssetImageDataProvider.h"
#include "Lumen/retrieval/FFmpegAssetImageGenerator.h"
#include "Lumen/retrieval/VideoFrameDecoding.h"
#include "tests/lumen/foundation/FoundationTesting.h"
#include "tests/lumen/imaging/TestImages.h"
#include "tests/lumen/retrieval/RetrievalTesting.h"

#include <QImage>

#include <limits>

namespace Lumen {
namespace {

using Testing::dataOf;

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
    const struct {
        const char* file;
        double seconds;
        QSize size;
        // Where the left half of the picture ends up, and its colour.
        QPoint probe;
        char colour;
    } table[] = {
        {"frames.mp4", 0.0, QSize(16, 8), QPoint(2, 4), 'R'},
        {"frames.mp4", 1.4, QSize(16, 8), QPoint(2, 4), 'G'},
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
    const QUrl text = Testing::writeFile(dir.filePath(QStringLiteral("clip.mp4")), QByteArray(4096, 'x'));
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

    // A movie without a URL gets a fresh key per provider, kept for that provider's requests.
    const auto generator = std::make_shared<AnsweringGenerator>(AssetImageGenerator::Answer{});
    const AVAssetImageDataProvider first(generator, MediaTime{600, 600});
    EXPECT_EQ(first.cacheKey(), first.cacheKey());
    EXPECT_NE(first.cacheKey(), AVAssetImageDataProvider(generator, MediaTime{600, 600}).cacheKey());
}

TEST(AVAssetImageDataProvider, GeneratorErrorComesFirstThenCancellationThenTheImage)
{
    using Result = AssetImageGenerator::Result;
    const UnderlyingError generatorError(QStringLiteral("Generator"), 7, QStringLiteral("broken"));
    const QImage image = Tivrand::Testing::solidBitmap(QSize(4, 4), Qt::red);
    const struct { AssetImageGenerator::Answer answer; const char* error; } table[] = {
        {{image, Result::cancelled, generatorError}, "Generator 7"},
        {{image, Result::cancelled, std::nullopt}, "Lumen.AVAssetImageDataProviderError 1"},
        {{image, Result::succeeded, std::nullopt}, ""},
        {{QImage(), Result::succeeded, std::nullopt}, "Lumen.AVAssetImageDataProviderError 0"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.error);
        const auto result = dataOf(AVAssetImageDataProvider(std::make_shared<AnsweringGenerator>(row.answer), MediaTime{0, 600}));
        EXPECT_EQ(Testing::errorOf(result), QLatin1String(row.error));
        EXPECT_EQ(QImage::fromData(result.value_or(QByteArray()), "JPEG").size(), result ? image.size() : QSize(0, 0));
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
