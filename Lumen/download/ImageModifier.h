#pragma once

#include "Lumen/foundation/Image.h"

namespace Lumen {

// Caller code that changes an image just before it is handed to its user, for display only.
class ImageModifier {
public:
    virtual ~ImageModifier() = default;

    virtual ImagePtr modify(const ImagePtr& image) const = 0;
};

} // namespace Lumen
