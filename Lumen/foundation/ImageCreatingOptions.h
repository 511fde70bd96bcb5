#pragma once

namespace Lumen {

// How an image was (or is to be) decoded from data. Carried on the decoded image so a
// cached animated image can be checked against the options of a later request.
struct ImageCreatingOptions {
    double scale = 1.0;
    // Requested animation duration in seconds; carried only.
    double duration = 0.0;
    bool preloadAll = false;
    bool onlyFirstFrame = false;

    // Numbers compare exactly.
    bool operator==(const ImageCreatingOptions&) const = default;
};

} // namespace Lumen
