#include "Lumen/retrieval/LivePhotoRequest.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>

#include <thread>

#include <sys/stat.h>

namespace Lumen {
namespace {

using namespace Tivrand::Testing;
using Code = LivePhotoError::Code;

// The fixtures: a 64 x 32 HEIC still in three bands (red 0-16, green 16-48, blue 48-64); a
// 3 s QuickTime movie of 64 x 32 yellow frames stored with a quarter turn; and hostile cuts
// and relabellings of both, a few tens of bytes each.
QUrl fixture(const char* name)
{
    return QUrl::fromLocalFile(QStringLiteral(TIVRAND_TEST_FIXTURES "/livephoto/") + QLatin1String(name));
}

// The same three bands as the HEIC still, for stills that Qt decodes.
QImage bandsBitmap()
{
    QImage image(64, 32, QImage::Format_RGB32);
    image.fill(Qt::red);
    for (int y = 0; y < 32; ++y)
        for (int x = 16; x < 64; ++x)
            image.setPixel(x, y, x < 48 ? qRgb(0, 255, 0) : qRgb(0, 0, 255));
    return image;
}

QByteArray encodedBands(const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    bandsBitmap().save(&buffer, format);
    return bytes;
}

char band(QRgb pixel)
{
    const auto high = [](int channel) { return channel > 160; };
    const auto low = [](int channel) { return channel < 100; };
    if (high(qRed(pixel)) && low(qGreen(pixel)) && low(qBlue(pixel)))
        return 'R';
    if (low(qRed(pixel)) && high(qGreen(pixel)) && low(qBlue(pixel)))
        return 'G';
    if (low(qRed(pixel)) && low(qGreen(pixel)) && high(qBlue(pixel)))
        return 'B';
    return '-';
}

class LivePhotoAssemblyTest : public ::testing::Test {
protected:
    QUrl writtenFile(const QString& name, const QByteArray& bytes)
    {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return QUrl::fromLocalFile(file.fileName());
    }

    QTemporaryDir folder;
};

TEST_F(LivePhotoAssemblyTest, AssemblesAStillAndAMovieInEitherOrder)
{
    const std::vector<std::vector<QUrl>> pairs{
        {fixture("still.heic"), fixture("movie.mov")},
        {fixture("movie.mov"), writtenFile(QStringLiteral("still.jpg"), encodedBands("JPEG"))},
        {writtenFile(QStringLiteral("still.png"), encodedBands("PNG")), fixture("movie.mov")},
    };
    for (const auto& files : pairs) {
        SCOPED_TRACE(files.front().fileName().toStdString());
        const LivePhotoResult result = assembleLivePhoto(files, QSizeF(), ContentMode::aspectFit);
        ASSERT_TRUE(result.has_value()) << result.error().message.toStdString();

        const QImage still = result->still()->bitmap();
        ASSERT_EQ(still.size(), QSize(64, 32));
        EXPECT_EQ(band(still.pixel(6, 16)), 'R');
        EXPECT_EQ(band(still.pixel(32, 16)), 'G');
        EXPECT_EQ(band(still.pixel(58, 16)), 'B');
        EXPECT_EQ(result->moviePath(), fixture("movie.mov").toLocalFile());
        EXPECT_NEAR(result->movieDuration(), 3.0, 0.05);
        // Stored 64 x 32 with a quarter turn: shown upright as 32 x 64.
        EXPECT_EQ(result->movieSize(), QSize(32, 64));
        EXPECT_EQ(result->movieRotation() % 180, 90);
    }
}

TEST_F(LivePhotoAssemblyTest, DecodesTheStillForTheTargetSizeWithoutEnlarging)
{
    const struct {
        QSizeF target;
        ContentMode mode;
        QSize expected;
    } cases[] = {
        {QSizeF(), ContentMode::aspectFit, QSize(64, 32)},
        {QSizeF(32, 32), ContentMode::aspectFit, QSize(32, 16)},
        {QSizeF(16, 16), ContentMode::aspectFill, QSize(32, 16)},
        {QSizeF(32, 32), ContentMode::none, QSize(32, 32)},
        {QSizeF(200, 200), ContentMode::aspectFit, QSize(64, 32)},
    };
    for (const auto& testCase : cases) {
        const LivePhotoResult result =
            assembleLivePhoto({fixture("still.heic"), fixture("movie.mov")}, testCase.target, testCase.mode);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->still()->pixelSize(), testCase.expected)
            << testCase.target.width() << " mode " << static_cast<int>(testCase.mode);
    }
}

TEST_F(LivePhotoAssemblyTest, RefusesFilesThatDoNotMakeALivePhoto)
{
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("folder.heic")));
    const QString pipe = folder.filePath(QStringLiteral("pipe.mov"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QUrl pngNamedJpeg = writtenFile(QStringLiteral("png.jpg"), encodedBands("PNG"));
    const QUrl still = fixture("still.heic");
    const QUrl movie = fixture("movie.mov");
    const struct {
        const char* name;
        std::vector<QUrl> files;
        Code code;
        // The file the error names; empty for a mismatch.
        QString faultyFile;
    } cases[] = {
        {"HEIC still of another brand", {fixture("wrong-brand.heic"), movie}, Code::wrongStillFormat,
         QStringLiteral("wrong-brand.heic")},
        {"JPEG still holding PNG", {pngNamedJpeg, movie}, Code::wrongStillFormat, QStringLiteral("png.jpg")},
        {"truncated still", {fixture("truncated.heic"), movie}, Code::undecodableStill,
         QStringLiteral("truncated.heic")},
        {"movie holding a HEIF header", {still, fixture("wrong-brand.mov")}, Code::wrongMovieFormat,
         QStringLiteral("wrong-brand.mov")},
        {"movie in another container", {still, fixture("matroska.mov")}, Code::wrongMovieFormat,
         QStringLiteral("matroska.mov")},
        {"truncated movie", {still, fixture("truncated.mov")}, Code::unreadableMovie,
         QStringLiteral("truncated.mov")},
        {"missing still", {fixture("missing.heic"), movie}, Code::unreadableFile, QStringLiteral("missing.heic")},
        {"missing movie", {still, fixture("missing.mov")}, Code::unreadableFile, QStringLiteral("missing.mov")},
        {"folder as still", {QUrl::fromLocalFile(folder.filePath(QStringLiteral("folder.heic"))), movie},
         Code::unreadableFile, QStringLiteral("folder.heic")},
        {"pipe as movie", {still, QUrl::fromLocalFile(pipe)}, Code::unreadableFile, QStringLiteral("pipe.mov")},
        {"remote movie", {still, QUrl(QStringLiteral("https://example.com/movie.mov"))}, Code::unreadableFile,
         QStringLiteral("movie.mov")},
        {"still alone", {still}, Code::mismatchedFiles, QString()},
        {"two stills and a movie", {still, still, movie}, Code::mismatchedFiles, QString()},
        {"a still and a text", {still, QUrl::fromLocalFile(folder.filePath(QStringLiteral("notes.txt")))},
         Code::mismatchedFiles, QString()},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        const LivePhotoResult result = assembleLivePhoto(testCase.files, QSizeF(), ContentMode::aspectFit);
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().code, testCase.code) << result.error().message.toStdString();
        if (testCase.faultyFile.isEmpty())
            EXPECT_TRUE(result.error().filePath.isEmpty());
        else
            EXPECT_TRUE(result.error().filePath.endsWith(testCase.faultyFile));
    }
}

TEST_F(LivePhotoAssemblyTest, RequestAnswersOnceOnTheGuiThreadFromAnyThread)
{
    struct Answers {
        int count = 0;
        bool succeeded = false;
        bool onGuiThread = true;
    };
    Answers fromGui;
    Answers fromWorker;
    const auto recorder = [](Answers& answers) {
        return [&answers](LivePhotoResult result) {
            ++answers.count;
            answers.succeeded = result.has_value();
            answers.onGuiThread = answers.onGuiThread && QThread::currentThread() == qApp->thread();
        };
    };

    requestLivePhoto({fixture("still.heic"), fixture("movie.mov")}, QSizeF(), ContentMode::aspectFit,
                     recorder(fromGui));
    EXPECT_EQ(fromGui.count, 0);
    std::thread worker([&] {
        requestLivePhoto({fixture("missing.heic"), fixture("movie.mov")}, QSizeF(), ContentMode::aspectFit,
                         recorder(fromWorker));
    });
    worker.join();

    ASSERT_TRUE(waitUntil([&] { return fromGui.count > 0 && fromWorker.count > 0; }));
    pumpEvents(std::chrono::milliseconds(100));
    EXPECT_EQ(fromGui.count, 1);
    EXPECT_TRUE(fromGui.succeeded);
    EXPECT_TRUE(fromGui.onGuiThread);
    EXPECT_EQ(fromWorker.count, 1);
    EXPECT_FALSE(fromWorker.succeeded);
    EXPECT_TRUE(fromWorker.onGuiThread);
}

} // namespace
} // namespace Lumen
