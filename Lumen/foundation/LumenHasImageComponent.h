#pragma once

#include "Lumen/foundation/Image.h"

namespace Lumen {

// A control that shows one image of its own without being an image view (a menu item, a
// tab, a tool button's icon). Image placeholders and loading set it through this.
// GUI thread only.
class LumenHasImageComponent {
public:
    virtual ~LumenHasImageComponent() = default;

    virtual ImagePtr image() const = 0;
    virtual void setImage(ImagePtr image) = 0;

protected:
    LumenHasImageComponent() = default;
    LumenHasImageComponent(const LumenHasImageComponent&) = default;
    LumenHasImageComponent& operator=(const LumenHasImageComponent&) = default;
};

} // namespace Lumen
