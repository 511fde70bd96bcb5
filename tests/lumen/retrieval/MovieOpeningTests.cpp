#include "Lumen/retrieval/AVAssetImageDataProvider.h"
#include "Lumen/retrieval/LivePhotoMovie.h"
#include "tests/lumen/imaging/TestImages.h"
#include "tests/lumen/retrieval/RetrievalTesting.h"

#include <QtEndian>

#include <climits>

extern "C" {
#include <libavformat/avformat.h>
}

namespace Lumen {
namespace {

using Testing::dataOf;

// A QuickTime movie of one Motion-JPEG frame declaring 16000 x 16000 pixels: a small JPEG
// whose frame header is patched to that size, padded to the megabyte below which FFmpeg
// deems such a frame implausible. Decoding it would allocate the whole frame.
QString hugeFrameMovie(const QString& path)
{
    QByteArray jpeg = Tivrand::Testing::encodedBitmap(Tivrand::Testing::solidBitmap({16, 16}, Qt::red), "JPEG");
    const qsizetype frameHeader = jpeg.indexOf("\xFF\xC0");
    qToBigEndian<quint16>(16000, jpeg.data() + frameHeader + 5);
    qToBigEndian<quint16>(16000, jpeg.data() + frameHeader + 7);
    jpeg.append(QByteArray(1000 * 1000, '\0'));

    const QByteArray file = QFile::encodeName(path);
    AVFormatContext* muxer = nullptr;
    avformat_alloc_output_context2(&muxer, nullptr, "mov", file.constData());
    AVStream* stream = avformat_new_stream(muxer, nullptr);
    stream->time_base = {1, 25};
    stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    stream->codecpar->codec_id = AV_CODEC_ID_MJPEG;
    stream->codecpar->width = stream->codecpar->height = 16000;
    AVPacket* packet = av_packet_alloc();
    packet->data = reinterpret_cast<uint8_t*>(jpeg.data());
    packet->size = static_cast<int>(jpeg.size());
    packet->pts = packet->dts = 0;
    packet->flags = AV_PKT_FLAG_KEY;
    EXPECT_TRUE(avio_open(&muxer->pb, file.constData(), AVIO_FLAG_WRITE) >= 0 && avformat_write_header(muxer, nullptr) >= 0
                && av_interleaved_write_frame(muxer, packet) >= 0 && av_write_trailer(muxer) >= 0);
    av_packet_free(&packet);
    avio_closep(&muxer->pb);
    avformat_free_context(muxer);
    return path;
}

TEST(MovieOpening, RefusesFramesBeyondTheBitmapBudgetFromTheirDeclaredSize)
{
    QTemporaryDir dir;
    const QString movie = hugeFrameMovie(dir.filePath(QStringLiteral("huge.mov")));
    // FFmpeg cannot allocate a frame of that size now, so only the refusal from the declared
    // size names it: a decode that tried would fail for want of memory instead.
    av_max_alloc(16 * 1024 * 1024);
    const auto frame = dataOf(AVAssetImageDataProvider(QUrl::fromLocalFile(movie), 0.0));
    const auto probed = probeLivePhotoMovie(movie);
    av_max_alloc(INT_MAX);

    ASSERT_FALSE(frame.has_value());
    EXPECT_TRUE(frame.error().message().contains(u"16000x16000")) << frame.error().message().toStdString();
    ASSERT_FALSE(probed.has_value());
    EXPECT_TRUE(probed.error().message.contains(u"16000x16000")) << probed.error().message.toStdString();
}

TEST(MovieOpening, RefusesListsThatNameOtherFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(QStringLiteral(TIVRAND_TEST_FIXTURES "/video/frames.mp4"),
                            dir.filePath(QStringLiteral("sibling.mp4"))));
    const struct { const char* name; QByteArray text; } lists[] = {
        {"playlist", "#EXTM3U\n#EXT-X-TARGETDURATION:3\n#EXTINF:3,\nsibling.mp4\n#EXT-X-ENDLIST\n"},
        {"concatenation", "ffconcat version 1.0\nfile sibling.mp4\n"},
    };
    for (const auto& list : lists) {
        SCOPED_TRACE(list.name);
        const QUrl clip = Testing::writeFile(dir.filePath(QStringLiteral("clip.mp4")), list.text);
        const auto frame = dataOf(AVAssetImageDataProvider(clip, 0.0));
        ASSERT_FALSE(frame.has_value());
        EXPECT_TRUE(frame.error().message().contains(u"container")) << frame.error().message().toStdString();
    }
}

} // namespace
} // namespace Lumen
