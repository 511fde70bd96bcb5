#pragma once

#include "Lumen/foundation/LumenHasImageComponent.h"

#include <memory>

namespace Lumen {

class TaskPropertyAccessor;

// One image an object shows (a menu item's icon, a button's alternate image, an image
// resource of a text document), reached without keeping the object alive. The shared loader
// sets it through this. GUI thread only. `image()` answers the image last given, as it was
// given; once the object is out of reach nothing is shown and no image answered.
class ImagePropertyAccessor : public LumenHasImageComponent {
public:
    // False once the object is destroyed, or taken out of what shows it (a model item out of
    // its model, a page out of its tab widget).
    virtual bool isReachable() const = 0;
    // The request state kept on the object for this image: null when the object is out of
    // reach, or when none was kept yet and `create` is false.
    virtual std::shared_ptr<TaskPropertyAccessor> taskAccessor(bool create) const = 0;
    // Whether the object shows an image now, also one the program set on it directly.
    virtual bool showsImage() const { return image() != nullptr; }
};

} // namespace Lumen
