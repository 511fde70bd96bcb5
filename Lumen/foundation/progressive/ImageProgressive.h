#pragma once

#include "Lumen/foundation/Delegate.h"
#include "Lumen/foundation/Image.h"

#include <memory>

namespace Lumen {

// How a retrieval shows a progressive JPEG while it downloads: each further complete scan is
// decoded (blurred while the picture is still coarse) and handed to the retrieval's refresh,
// at most once per `scanInterval`.
class ImageProgressive {
public:
    // What to do with a new intermediate image.
    class UpdatingStrategy {
    public:
        enum class Kind {
            replace,     // show `image()` (possibly null) instead of the intermediate image
            useDefault,  // show the intermediate image
            keepCurrent, // show nothing new
        };

        static UpdatingStrategy replace(ImagePtr image) { return UpdatingStrategy(Kind::replace, std::move(image)); }
        static UpdatingStrategy useDefault() { return UpdatingStrategy(Kind::useDefault, nullptr); }
        static UpdatingStrategy keepCurrent() { return UpdatingStrategy(Kind::keepCurrent, nullptr); }

        Kind kind() const { return m_kind; }
        // The replacement; null for the other kinds.
        const ImagePtr& image() const { return m_image; }

    private:
        UpdatingStrategy(Kind kind, ImagePtr image) : m_kind(kind), m_image(std::move(image)) {}

        Kind m_kind;
        ImagePtr m_image;
    };

    using ImageUpdatedHook = Delegate<ImagePtr, UpdatingStrategy>;

    // Blur on, fastest scan on, no spacing, a new empty hook.
    ImageProgressive();
    ImageProgressive(bool isBlur, bool isFastestScan, double scanInterval);

    // One setting with the defaults, made on first use.
    static const std::shared_ptr<const ImageProgressive>& shared();

    // Blur intermediate images made from the first scans.
    bool isBlur = true;
    // Decode only the latest complete scan of each update instead of every newly completed one.
    bool isFastestScan = true;
    // Minimum spacing between two updates, in seconds.
    double scanInterval = 0.0;
    // Asked by the retrieval for each intermediate image; no answer shows the image.
    std::shared_ptr<ImageUpdatedHook> onImageUpdated;
};

} // namespace Lumen
