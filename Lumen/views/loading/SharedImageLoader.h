#pragma once

#include "Lumen/views/loading/ImageRequest.h"
#include "Lumen/views/loading/SourceArgument.h"

#include <memory>

namespace Lumen {

class ImagePropertyAccessor;

// What `keepCurrentImageWhileLoading` keeps.
enum class KeepCurrentImage {
    // The image the object shows, whoever set it; the placeholder is set when it shows none.
    whenShown,
    // Whatever the object shows, unasked (asking a text document loads the resource).
    unasked,
};

// The loader of every object image that is not an image view's: a button's image and
// alternate image, a text attachment, the image components. The placeholder is an image set
// as the object's image; the request state is kept on the object beside it. Without a source
// the placeholder is set, the request made stale and `emptySource` reported before this
// returns; an object out of reach gets nothing and `notCurrentSourceTask`. GUI thread.
std::shared_ptr<DownloadTask> loadImage(const std::shared_ptr<ImagePropertyAccessor>& accessor,
                                        const SourceArgument& source, const ImagePtr& placeholder,
                                        LumenParsedOptionsInfo options, ImageSettingProgress progressBlock,
                                        ImageSettingCompletion completionHandler,
                                        KeepCurrentImage keep = KeepCurrentImage::whenShown);

} // namespace Lumen
