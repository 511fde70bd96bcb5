#include "Lumen/retrieval/LivePhotoMovie.h"

#include "Lumen/foundation/imaging/BitmapLimits.h"
#include "Lumen/retrieval/IsoBrand.h"
#include "Lumen/retrieval/LivePhotoFileReading.h"
#include "Lumen/retrieval/MovieOpening.h"

#include <cmath>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

namespace Lumen {

namespace {

LivePhotoError unreadableMovie(const QString& path, const QString& why)
{
    return {LivePhotoError::Code::unreadableMovie, path,
            QStringLiteral("The movie ") + path + QStringLiteral(" cannot be read: ") + why};
}

// Clockwise quarter turns that show the stored frames upright, from the track's display matrix.
int displayRotation(const AVStream& stream)
{
    size_t matrixSize = 0;
    const uint8_t* matrix = av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, &matrixSize);
    if (!matrix || matrixSize < 9 * sizeof(int32_t))
        return 0;
    // The matrix states its turn counter-clockwise; showing undoes it.
    const double counterClockwise = av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
    if (!std::isfinite(counterClockwise))
        return 0;
    const long quarterTurns = std::lround(-counterClockwise / 90.0);
    return static_cast<int>(((quarterTurns % 4) + 4) % 4) * 90;
}

double durationSeconds(const AVFormatContext& context, const AVStream& stream)
{
    if (context.duration != AV_NOPTS_VALUE && context.duration > 0)
        return static_cast<double>(context.duration) / AV_TIME_BASE;
    if (stream.duration != AV_NOPTS_VALUE && stream.duration > 0)
        return static_cast<double>(stream.duration) * av_q2d(stream.time_base);
    return 0;
}

} // namespace

bool isLivePhotoMovieSuffix(const QString& suffix)
{
    return suffix == QLatin1String("mov") || suffix == QLatin1String("mp4");
}

std::expected<LivePhotoMovieFacts, LivePhotoError> probeLivePhotoMovie(const QString& path)
{
    constexpr qint64 brandBytes = 12;
    auto head = readFileStart(path, brandBytes);
    if (!head)
        return std::unexpected(std::move(head.error()));
    // The demuxer forced below reads exactly the brands this accepts.
    if (!carriesMovieBrand(*head))
        return std::unexpected(LivePhotoError{LivePhotoError::Code::wrongMovieFormat, path,
                                              QStringLiteral("The movie ") + path
                                                  + QStringLiteral(" is not a QuickTime or MP4 movie")});

    auto context = openMovie(path, "mov");
    if (!context)
        return std::unexpected(unreadableMovie(path, context.error().message()));
    const int index = av_find_best_stream(context->get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0)
        return std::unexpected(unreadableMovie(path, QStringLiteral("it has no video track")));
    const AVStream& stream = *(*context)->streams[index];

    const int rotation = displayRotation(stream);
    QSize size(stream.codecpar->width, stream.codecpar->height);
    if (rotation % 180 != 0)
        size.transpose();
    LivePhotoMovieFacts facts{durationSeconds(**context, stream), size, rotation};
    if (!BitmapLimits::allows(facts.size))
        return std::unexpected(unreadableMovie(path, QStringLiteral("its video size is empty or beyond the limits")));
    if (!(facts.duration > 0) || !std::isfinite(facts.duration))
        return std::unexpected(unreadableMovie(path, QStringLiteral("it has no duration")));
    return facts;
}

} // namespace Lumen
