#include "Lumen/retrieval/MovieOpening.h"

#include "Lumen/foundation/imaging/BitmapLimits.h"
#include "Lumen/retrieval/RegularFileReading.h"

#include <QFile>
#include <QSize>

#include <optional>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
#include <libavutil/error.h>
}

namespace Lumen {

namespace {

// What FFmpeg may open: the file named, nothing it names.
AVDictionary* fileOnlyOptions()
{
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "enable_drefs", "0", 0);
    return options;
}

std::expected<const AVInputFormat*, UnderlyingError> probedDemuxer(const QByteArray& input)
{
    AVDictionary* options = fileOnlyOptions();
    AVIOContext* file = nullptr;
    const int opened = avio_open2(&file, input.constData(), AVIO_FLAG_READ, nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
        return std::unexpected(ffmpegError(opened));
    const AVInputFormat* format = nullptr;
    const int probed = av_probe_input_buffer2(file, &format, input.constData(), nullptr, 0, 0);
    avio_closep(&file);
    if (probed < 0)
        return std::unexpected(ffmpegError(probed));
    return format;
}

// `demuxer` when given, else the one the content probes as; either must be on the list.
std::expected<const AVInputFormat*, UnderlyingError> chosenDemuxer(const QByteArray& input, const char* demuxer)
{
    auto format = demuxer ? av_find_input_format(demuxer) : probedDemuxer(input);
    if (!format)
        return format;
    const char* name = *format ? (*format)->name : demuxer;
    if (!*format || av_match_list(name, movieDemuxers, ',') <= 0)
        return std::unexpected(videoError(AVERROR_INVALIDDATA, QStringLiteral("The file reads as ") + QLatin1String(name)
                                                                   + QStringLiteral(", not as a movie container")));
    return format;
}

std::optional<UnderlyingError> oversizedVideo(const AVFormatContext& context)
{
    for (unsigned index = 0; index < context.nb_streams; ++index) {
        const AVCodecParameters& parameters = *context.streams[index]->codecpar;
        const QSize size(parameters.width, parameters.height);
        // A size left open is learnt by decoding, which the decoders' own bound keeps within
        // the budget.
        if (parameters.codec_type == AVMEDIA_TYPE_VIDEO && !size.isEmpty() && !BitmapLimits::allows(size))
            return videoError(AVERROR_INVALIDDATA,
                              QStringLiteral("Video frames of %1x%2 pixels are beyond the decoding limits")
                                  .arg(size.width())
                                  .arg(size.height()));
    }
    return std::nullopt;
}

std::expected<void, UnderlyingError> readStreamInformation(AVFormatContext& context)
{
    std::vector<AVDictionary*> decoderOptions(context.nb_streams, nullptr);
    for (AVDictionary*& options : decoderOptions)
        av_dict_set_int(&options, "max_pixels", BitmapLimits::maxPixels, 0);
    const int found = avformat_find_stream_info(&context, decoderOptions.data());
    for (AVDictionary*& options : decoderOptions)
        av_dict_free(&options);
    if (found < 0)
        return std::unexpected(ffmpegError(found));
    return {};
}

} // namespace

UnderlyingError videoError(int code, const QString& message)
{
    return UnderlyingError(QString::fromLatin1(videoErrorDomain), code, message);
}

UnderlyingError ffmpegError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return videoError(code, QString::fromUtf8(text));
}

void MovieCloser::operator()(AVFormatContext* context) const
{
    avformat_close_input(&context);
}

std::expected<OpenedMovie, UnderlyingError> openMovie(const QString& path, const char* demuxer)
{
    if (auto checked = requireRegularFile(path); !checked)
        return std::unexpected(std::move(checked.error()));
    // The prefix keeps a path with a colon from naming another protocol.
    const QByteArray input = QByteArrayLiteral("file:") + QFile::encodeName(path);
    auto format = chosenDemuxer(input, demuxer);
    if (!format)
        return std::unexpected(std::move(format.error()));

    AVDictionary* options = fileOnlyOptions();
    AVFormatContext* context = nullptr;
    const int opened = avformat_open_input(&context, input.constData(), *format, &options);
    av_dict_free(&options);
    if (opened < 0)
        return std::unexpected(ffmpegError(opened));
    OpenedMovie movie(context);
    if (auto refused = oversizedVideo(*context))
        return std::unexpected(std::move(*refused));
    if (auto read = readStreamInformation(*context); !read)
        return std::unexpected(std::move(read.error()));
    // The stream information may have filled in sizes the header left open.
    if (auto refused = oversizedVideo(*context))
        return std::unexpected(std::move(*refused));
    return movie;
}

} // namespace Lumen
