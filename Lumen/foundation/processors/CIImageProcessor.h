#pragma once

#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/foundation/imaging/ImageFilter.h"

namespace Lumen {

// A processor that is one filter: adopters supply `identifier` and `filter`. An image item
// comes back through the filter, at its own scale; a data item is decoded by the default
// processor first (undecodable bytes give null).
class CIImageProcessor : public ImageProcessor {
public:
    virtual Filter filter() const = 0;

    ImagePtr process(const ImageProcessItem& item, const LumenParsedOptionsInfo& options) const override;
};

} // namespace Lumen
