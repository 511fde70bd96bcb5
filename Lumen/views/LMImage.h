#pragma once

#include "Lumen/views/LMImageContent.h"
#include "Lumen/views/LMImageDrawing.h"
#include "Lumen/views/LMImageViewBase.h"

#include <QMarginsF>

namespace Lumen {

// A widget that shows a remote or provided image, configured by chained setters:
//
//   (new LMImage(url, std::nullopt, parent))->placeholder(makeGrayBox).resizable().fade(0.25);
//
// Loading, placeholder, fade and appearance are those of `LMImageViewBase`; the image is
// drawn as its content, after the configurations, says.
class LMImage : public LMImageView<LMImage> {
    Q_OBJECT

public:
    using LMImageView::LMImageView;

    // What is drawn: the loaded image, after the configurations.
    const LMImageContent& content() const { return m_drawing.content(); }

    // Applied to the drawn content after the configurations added before it.
    LMImage& configure(Context::Configuration configuration);
    LMImage& resizable(QMarginsF capInsets = {},
                       LMImageContent::ResizingMode resizingMode = LMImageContent::ResizingMode::stretch);
    LMImage& interpolation(LMImageContent::Interpolation interpolation);
    LMImage& antialiased(bool antialiased);
    LMImage& aspectRatio(ContentMode contentMode);
    LMImage& cornerRadius(double radius);
    LMImage& renderingMode(LMImageContent::RenderingMode mode);
    // Called with the view's painter and the final content each time before it is drawn, to
    // draw beneath it or to change how it is drawn (opacity, transform, clip).
    LMImage& configureContent(Context::ContentConfiguration configuration);

protected:
    void renderImageLayer(const ImagePtr& loadedImage, bool loaded) override;
    void paintEvent(QPaintEvent* event) override;

private:
    LMImageDrawing m_drawing;
};

} // namespace Lumen
