#include "Lumen/foundation/imaging/BitmapLimits.h"
#include "Lumen/retrieval/LivePhotoRequest.h"
#include "tests/lumen/imaging/TestImages.h"
#include "tests/lumen/retrieval/RetrievalTesting.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QThread>

#include <thread>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Lumen {
namespace {

using namespace Tivrand::Testing;
using Testing::colourName;
using Code = LivePhotoError::Code;
const auto fixture = Testing::livePhotoFixture;

// The same three bands as the HEIC still, for stills that Qt decodes.
QByteArray encodedBands(const char* format)
{
    QImage image(64, 32, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, 16, 32, Qt::red);
    painter.fillRect(16, 0, 32, 32, Qt::green);
    painter.fillRect(48, 0, 16, 32, Qt::blue);
    painter.end();
    return encodedBitmap(image, format);
}

class LivePhotoAssemblyTest : public ::testing::Test {
protected:
    QUrl writtenFile(const char* name, const QByteArray& bytes)
    {
        return Testing::writeFile(folder.filePath(name), bytes);
    }

    QTemporaryDir folder;
};

TEST_F(LivePhotoAssemblyTest, AssemblesAStillAndAMovieInEitherOrder)
{
    const std::vector<std::vector<QUrl>> pairs{
        {fixture("still.heic"), fixture("movie.mov")},
        {fixture("movie.mov"), writtenFile("still.jpg", encodedBands("JPEG"))},
        {writtenFile("still.png", encodedBands("PNG")), fixture("movie.mov")},
    };
    for (const auto& files : pairs) {
        SCOPED_TRACE(files.front().fileName().toStdString());
        const LivePhotoResult result = assembleLivePhoto(files, QSizeF(), ContentMode::aspectFit);
        ASSERT_TRUE(result.has_value()) << result.error().message.toStdString();
        const QImage still = result->still()->bitmap();
        const std::string bands{colourName(still.pixel(6, 16)), colourName(still.pixel(32, 16)),
                                colourName(still.pixel(58, 16))};
        EXPECT_EQ(bands, "RGB");
        // Stored 64 x 32 with a quarter turn: shown upright as 32 x 64.
        EXPECT_EQ(result->movieSize(), QSize(32, 64));
    }
}

TEST_F(LivePhotoAssemblyTest, DecodesTheStillForTheTargetSizeWithoutEnlarging)
{
    const struct { QSizeF target; ContentMode mode; QSize expected; } cases[] = {
        {QSizeF(), ContentMode::aspectFit, QSize(64, 32)},     {QSizeF(32, 32), ContentMode::aspectFit, QSize(32, 16)},
        {QSizeF(16, 16), ContentMode::aspectFill, QSize(32, 16)}, {QSizeF(32, 32), ContentMode::none, QSize(32, 32)},
        {QSizeF(200, 200), ContentMode::aspectFit, QSize(64, 32)},
    };
    for (const auto& c : cases) {
        const LivePhotoResult result = assembleLivePhoto({fixture("still.heic"), fixture("movie.mov")}, c.target, c.mode);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->still()->pixelSize(), c.expected) << c.target.width() << " mode " << static_cast<int>(c.mode);
    }
}

TEST_F(LivePhotoAssemblyTest, RefusesFilesThatDoNotMakeALivePhoto)
{
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("folder.heic")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.filePath(QStringLiteral("pipe.mov"))).constData(), 0600), 0);
    const QUrl pngNamedJpeg = writtenFile("png.jpg", encodedBands("PNG"));
    const auto inFolder = [&](const char* name) { return QUrl::fromLocalFile(folder.filePath(QLatin1String(name))); };
    const QUrl still = fixture("still.heic");
    const QUrl movie = fixture("movie.mov");
    // `faultyFile`: the file the error names; empty for a mismatch.
    const struct { std::vector<QUrl> files; Code code; const char* faultyFile; } cases[] = {
        {{fixture("wrong-brand.heic"), movie}, Code::wrongStillFormat, "wrong-brand.heic"},
        {{pngNamedJpeg, movie}, Code::wrongStillFormat, "png.jpg"},
        {{fixture("truncated.heic"), movie}, Code::undecodableStill, "truncated.heic"},
        {{still, fixture("wrong-brand.mov")}, Code::wrongMovieFormat, "wrong-brand.mov"},
        {{still, fixture("truncated.mov")}, Code::unreadableMovie, "truncated.mov"},
        {{fixture("missing.heic"), movie}, Code::unreadableFile, "missing.heic"},
        {{inFolder("folder.heic"), movie}, Code::unreadableFile, "folder.heic"},
        {{still, inFolder("pipe.mov")}, Code::unreadableFile, "pipe.mov"},
        {{still, QUrl(QStringLiteral("https://example.com/movie.mov"))}, Code::unreadableFile, "movie.mov"},
        {{still}, Code::mismatchedFiles, ""},
        {{still, inFolder("notes.txt")}, Code::mismatchedFiles, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.files.back().fileName().toStdString() + " " + c.faultyFile);
        const LivePhotoResult result = assembleLivePhoto(c.files, QSizeF(), ContentMode::aspectFit);
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().code, c.code) << result.error().message.toStdString();
        EXPECT_EQ(QFileInfo(result.error().filePath).fileName(), QLatin1String(c.faultyFile));
    }
}

TEST_F(LivePhotoAssemblyTest, RefusesAStillAboveTheLimitFromItsSize)
{
    const QString still = writtenFile("huge.heic", QByteArrayLiteral("\0\0\0\x18" "ftypheic")).toLocalFile();
    ASSERT_EQ(::truncate(QFile::encodeName(still).constData(), BitmapLimits::maxBitmapBytes + 1), 0);
    struct rusage before {}, after {};
    ::getrusage(RUSAGE_SELF, &before);
    const LivePhotoResult result = assembleLivePhoto({QUrl::fromLocalFile(still), fixture("movie.mov")}, QSizeF(),
                                                     ContentMode::aspectFit);
    ::getrusage(RUSAGE_SELF, &after);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().code, Code::unreadableFile) << result.error().message.toStdString();
    // Reading the sparse file would have made its whole size resident.
    EXPECT_LT((after.ru_maxrss - before.ru_maxrss) * 1024, BitmapLimits::maxBitmapBytes / 4);
}

TEST_F(LivePhotoAssemblyTest, RequestAnswersOnceOnTheGuiThreadFromAnyThread)
{
    // 1 for a live photo, 0 for an error, -1 for an answer off the GUI thread.
    std::vector<int> fromGui, fromWorker;
    const auto recorder = [](std::vector<int>& answers) {
        return [&answers](LivePhotoResult result) {
            answers.push_back(QThread::currentThread() != qApp->thread() ? -1 : result.has_value());
        };
    };
    requestLivePhoto({fixture("still.heic"), fixture("movie.mov")}, QSizeF(), ContentMode::aspectFit, recorder(fromGui));
    EXPECT_TRUE(fromGui.empty());
    std::thread([&] {
        requestLivePhoto({fixture("missing.heic"), fixture("movie.mov")}, QSizeF(), ContentMode::aspectFit,
                         recorder(fromWorker));
    }).join();

    ASSERT_TRUE(waitUntil([&] { return !fromGui.empty() && !fromWorker.empty(); }));
    pumpEvents(std::chrono::milliseconds(100));
    EXPECT_EQ(fromGui, std::vector<int>{1});
    EXPECT_EQ(fromWorker, std::vector<int>{0});
}

} // namespace
} // namespace Lumen
