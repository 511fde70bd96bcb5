#pragma once

#include "Lumen/views/ImageIndicatorView.h"
#include "Lumen/views/Indicator.h"
#include "Lumen/views/OwnedIndicatorView.h"

#include <QByteArray>

#include <memory>

namespace Lumen {

struct LumenParsedOptionsInfo;

// An image over the whole image view, centred at its own size: GIF data plays its frames
// while started, other image data shows a still. Each start shows it, each stop hides it;
// unlike the spinner it keeps no count.
class ImageIndicator final : public Indicator {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    // Decodes `data` as the default processor does, with `options` (the defaults when not
    // given), but always with every animation frame preloaded, since the view plays them
    // all. Null when the data is no image.
    static std::shared_ptr<ImageIndicator> make(const QByteArray& data);
    static std::shared_ptr<ImageIndicator> make(const QByteArray& data, LumenParsedOptionsInfo options);

    ImageIndicator(Passkey, ImagePtr image);

    void startAnimatingView() override;
    void stopAnimatingView() override;
    QWidget* view() const override { return m_view.get(); }

    ImageIndicatorView* animatedImageIndicatorView() const { return m_view.get(); }

private:
    void setAnimating(bool animating);

    OwnedIndicatorView<ImageIndicatorView> m_view;
};

} // namespace Lumen
