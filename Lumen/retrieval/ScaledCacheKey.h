#pragma once

#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/retrieval/Source.h"

#include <QString>

#include <memory>
#include <optional>

namespace Lumen {

class ImageProcessor;

// Images made for different scale factors never share a cache entry: at any scale but 1 the
// processor identifier that joins the cache key gains "_scale(<scale>)". At scale 1 the
// identifier is the processor's own. Whether a processor is the default one is still judged
// by its own identifier.
QString scaledCacheIdentifier(const QString& processorIdentifier, double scaleFactor);

// The options to hand a cache for the entry of `processor` (the options' own when null):
// at scale 1 the options with that processor; otherwise with a processor that works as
// that one under the scaled identifier.
LumenParsedOptionsInfo scaledCacheOptions(LumenParsedOptionsInfo options,
                                          std::shared_ptr<const ImageProcessor> processor = nullptr);

// The target-cache entry an image of a source is stored under: the source's key, the scaled
// processor identifier and the forced extension. Whoever asks whether it is cached asks this.
struct CacheEntryName {
    QString key;
    QString processorIdentifier;
    std::optional<QString> forcedExtension;
};
CacheEntryName targetCacheEntry(const Source& source, const LumenParsedOptionsInfo& options);

} // namespace Lumen
