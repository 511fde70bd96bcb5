#pragma once

#include "Lumen/foundation/UnderlyingError.h"

#include <QString>

namespace Lumen {

// Why the files of a live photo could not be made into one. Passed on as the cause of a
// library error through `underlyingError()`.
struct LivePhotoError {
    enum class Code {
        // Not exactly one still and one movie, told by file extension.
        mismatchedFiles = 1,
        // Missing, not a regular local file, unreadable, or too large to be a still.
        unreadableFile,
        // A still whose bytes are not the format its extension names.
        wrongStillFormat,
        // A still of the right format that does not decode, or would decode beyond the budget.
        undecodableStill,
        // A movie whose bytes are not a QuickTime or MP4 container.
        wrongMovieFormat,
        // A movie container without a playable video track.
        unreadableMovie,
    };

    static constexpr char domain[] = "Lumen.LivePhotoError";

    Code code;
    // The file at fault; empty when the files as a whole do not match.
    QString filePath;
    QString message;

    UnderlyingError underlyingError() const;
};

} // namespace Lumen
