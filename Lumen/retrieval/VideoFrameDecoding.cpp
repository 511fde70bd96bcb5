#include "Lumen/retrieval/VideoFrameDecoding.h"

#include "Lumen/foundation/imaging/BitmapLimits.h"
#include "Lumen/retrieval/URLKeys.h"

#include <QTransform>

#include <cerrno>
#include <cmath>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/error.h>
#include <libswscale/swscale.h>
}

namespace Lumen {

namespace {

using FrameResult = std::expected<QImage, UnderlyingError>;

struct CodecContextFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerFreer {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

using CodecContext = std::unique_ptr<AVCodecContext, CodecContextFreer>;
using Frame = std::unique_ptr<AVFrame, FrameFreer>;
using Packet = std::unique_ptr<AVPacket, PacketFreer>;

std::expected<CodecContext, UnderlyingError> openDecoder(const AVStream& stream)
{
    const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
    if (!codec)
        return std::unexpected(ffmpegError(AVERROR_DECODER_NOT_FOUND));
    CodecContext context(avcodec_alloc_context3(codec));
    if (!context)
        return std::unexpected(ffmpegError(AVERROR(ENOMEM)));
    if (const int copied = avcodec_parameters_to_context(context.get(), stream.codecpar); copied < 0)
        return std::unexpected(ffmpegError(copied));
    context->thread_count = 1;
    // A frame beyond the budget (a size the container left open, or one that changes
    // mid-stream) is refused by the decoder before it is allocated.
    context->max_pixels = BitmapLimits::maxPixels;
    if (const int opened = avcodec_open2(context.get(), codec, nullptr); opened < 0)
        return std::unexpected(ffmpegError(opened));
    return context;
}

// Clockwise degrees that put the stream's pictures upright; 0 without rotation metadata.
double uprightRotation(const AVStream& stream)
{
#if LIBAVFORMAT_VERSION_INT >= AV_VERSION_INT(60, 15, 100)
    const AVPacketSideData* side = av_packet_side_data_get(stream.codecpar->coded_side_data,
                                                           stream.codecpar->nb_coded_side_data,
                                                           AV_PKT_DATA_DISPLAYMATRIX);
    const auto* matrix = side && side->size >= 9 * sizeof(int32_t) ? reinterpret_cast<const int32_t*>(side->data) : nullptr;
#else
    size_t size = 0;
    const auto* matrix = reinterpret_cast<const int32_t*>(
        av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, &size));
    if (size < 9 * sizeof(int32_t))
        matrix = nullptr;
#endif
    if (!matrix)
        return 0.0;
    // The matrix states a counter-clockwise rotation.
    const double angle = -av_display_rotation_get(matrix);
    return std::isfinite(angle) ? std::round(angle) : 0.0;
}

FrameResult toImage(const AVFrame& frame)
{
    if (!BitmapLimits::allows(QSize(frame.width, frame.height)))
        return std::unexpected(videoError(AVERROR_INVALIDDATA, QStringLiteral("The frame size %1x%2 is not allowed")
                                                                   .arg(frame.width)
                                                                   .arg(frame.height)));
    std::unique_ptr<SwsContext, ScalerFreer> scaler(
        sws_getContext(frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), frame.width, frame.height,
                       AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler)
        return std::unexpected(videoError(AVERROR(EINVAL), QStringLiteral("The frame's pixel format cannot be converted")));
    QImage image(frame.width, frame.height, QImage::Format_RGBA8888);
    if (image.isNull())
        return std::unexpected(ffmpegError(AVERROR(ENOMEM)));
    uint8_t* const planes[] = {image.bits()};
    const int strides[] = {static_cast<int>(image.bytesPerLine())};
    if (const int scaled = sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
        scaled < 0)
        return std::unexpected(ffmpegError(scaled));
    return image;
}

// Feeds the decoder until the frame at `target` (in stream time) is known.
class FrameSearch {
public:
    FrameSearch(AVFormatContext& format, AVCodecContext& decoder, int streamIndex, int64_t target)
        : m_format(format), m_decoder(decoder), m_streamIndex(streamIndex), m_target(target)
    {
    }

    std::expected<Frame, UnderlyingError> run(const std::function<bool()>& isCancelled)
    {
        Packet packet(av_packet_alloc());
        Frame frame(av_frame_alloc());
        if (!packet || !frame)
            return std::unexpected(ffmpegError(AVERROR(ENOMEM)));
        for (int read = 0; read < maxPacketsPerFrame && !m_done; ++read) {
            if (isCancelled())
                return std::unexpected(ffmpegError(AVERROR_EXIT));
            const int status = av_read_frame(&m_format, packet.get());
            if (status == AVERROR_EOF)
                break;
            if (status < 0)
                return std::unexpected(ffmpegError(status));
            const bool ours = packet->stream_index == m_streamIndex;
            const int sent = ours ? avcodec_send_packet(&m_decoder, packet.get()) : 0;
            av_packet_unref(packet.get());
            // A damaged packet is skipped; the next key frame may still decode.
            if (sent < 0 && sent != AVERROR_INVALIDDATA)
                return std::unexpected(ffmpegError(sent));
            if (auto drained = drain(*frame); !drained)
                return std::unexpected(std::move(drained.error()));
        }
        if (!m_done) {
            avcodec_send_packet(&m_decoder, nullptr);
            if (auto drained = drain(*frame); !drained)
                return std::unexpected(std::move(drained.error()));
        }
        if (!m_found)
            return std::unexpected(videoError(AVERROR_INVALIDDATA, QStringLiteral("No frame decodes at that time")));
        return std::move(m_found);
    }

private:
    std::expected<void, UnderlyingError> drain(AVFrame& frame)
    {
        while (!m_done) {
            const int received = avcodec_receive_frame(&m_decoder, &frame);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                return {};
            if (received < 0)
                return std::unexpected(ffmpegError(received));
            const int64_t start = frame.best_effort_timestamp;
            if (m_found && start != AV_NOPTS_VALUE && start > m_target) {
                m_done = true;
            } else {
                if (!m_found)
                    m_found.reset(av_frame_alloc());
                if (!m_found)
                    return std::unexpected(ffmpegError(AVERROR(ENOMEM)));
                av_frame_unref(m_found.get());
                av_frame_move_ref(m_found.get(), &frame);
                m_done = start != AV_NOPTS_VALUE && start >= m_target;
            }
            av_frame_unref(&frame);
        }
        return {};
    }

    AVFormatContext& m_format;
    AVCodecContext& m_decoder;
    int m_streamIndex;
    int64_t m_target;
    Frame m_found;
    bool m_done = false;
};

} // namespace

std::expected<QImage, UnderlyingError> decodeVideoFrame(const QUrl& url, MediaTime time, bool appliesTrackTransform,
                                                        const std::function<bool()>& isCancelled)
{
    if (!time.isValid())
        return std::unexpected(videoError(AVERROR(EINVAL), QStringLiteral("The requested time is not valid")));
    if (!url.isLocalFile())
        return std::unexpected(videoError(AVERROR_PROTOCOL_NOT_FOUND,
                                          QStringLiteral("Only local movie files are opened, not ") + absoluteString(url)));
    auto format = openMovie(url.toLocalFile());
    if (!format)
        return std::unexpected(std::move(format.error()));
    const int streamIndex = av_find_best_stream(format->get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (streamIndex < 0)
        return std::unexpected(ffmpegError(streamIndex));
    const AVStream& stream = *(*format)->streams[streamIndex];
    auto decoder = openDecoder(stream);
    if (!decoder)
        return std::unexpected(std::move(decoder.error()));

    int64_t target = av_rescale_q(time.value, AVRational{1, time.timeScale}, stream.time_base);
    if (stream.start_time != AV_NOPTS_VALUE)
        target += stream.start_time;
    // A failed seek leaves the reading at the start, which only costs time.
    av_seek_frame(format->get(), streamIndex, target, AVSEEK_FLAG_BACKWARD);

    auto frame = FrameSearch(**format, **decoder, streamIndex, target).run(isCancelled);
    if (!frame)
        return std::unexpected(std::move(frame.error()));
    auto image = toImage(**frame);
    if (!image || !appliesTrackTransform)
        return image;
    const double rotation = uprightRotation(stream);
    if (rotation == 0.0)
        return image;
    return image->transformed(QTransform().rotate(rotation));
}

} // namespace Lumen
