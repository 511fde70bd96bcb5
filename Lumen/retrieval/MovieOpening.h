#pragma once

#include "Lumen/foundation/UnderlyingError.h"

#include <QString>

#include <expected>
#include <memory>

struct AVFormatContext;

namespace Lumen {

// Error domain of failures reported by FFmpeg or found in what it read; codes are FFmpeg's.
inline constexpr char videoErrorDomain[] = "FFmpeg";

UnderlyingError videoError(int code, const QString& message);
// A `videoErrorDomain` error with FFmpeg's own text for `code`.
UnderlyingError ffmpegError(int code);

// The container demuxers movies are opened with: QuickTime/MP4 and its kin, Matroska/WebM and
// AVI. Each names all its streams in its header, so their frame sizes are known before anything
// decodes, and none reads another file (the QuickTime data references stay off). Playlists,
// concatenation lists and image sequences, which would, are refused.
inline constexpr char movieDemuxers[] = "mov,matroska,avi";

struct MovieCloser {
    void operator()(AVFormatContext* context) const;
};
using OpenedMovie = std::unique_ptr<AVFormatContext, MovieCloser>;

// The regular file at `path` opened as a movie, its stream information read. FFmpeg reads it
// through its "file" protocol alone, with the demuxer of `movieDemuxers` its content probes as
// (or `demuxer`, one of them, without probing). A video stream whose frames are beyond
// BitmapLimits is refused from its stated size before any frame is decoded, and no decoder
// that reads stream information may allocate a frame beyond them. Safe on any thread.
std::expected<OpenedMovie, UnderlyingError> openMovie(const QString& path, const char* demuxer = nullptr);

} // namespace Lumen
