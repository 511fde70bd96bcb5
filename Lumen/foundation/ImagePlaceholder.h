#pragma once

#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/Placeholder.h"

namespace Lumen {

class LumenHasImageComponent;

// An image shown in place of the one that loads. On a view that is a
// `LumenHasImageComponent` it sets the view's image; on a QLabel it sets the label's
// pixmap; other widgets are left alone. Removing clears the image, whatever it is by then.
class ImagePlaceholder final : public Placeholder {
public:
    explicit ImagePlaceholder(ImagePtr image);

    const ImagePtr& image() const { return m_image; }

    void addTo(QWidget& imageView) override;
    void removeFrom(QWidget& imageView) override;

    // Image-bearing controls that are not widgets (menu items, tabs).
    void addTo(LumenHasImageComponent& control) const;
    void removeFrom(LumenHasImageComponent& control) const;

private:
    void display(QWidget& imageView, const ImagePtr& image) const;

    ImagePtr m_image;
};

} // namespace Lumen
