#pragma once

#include "Lumen/foundation/processors/DecodingImageProcessor.h"

namespace Lumen {

// Adjusts brightness, contrast and saturation, then exposure.
class ColorControlsProcessor final : public DecodingImageProcessor {
public:
    ColorControlsProcessor(double brightness, double contrast, double saturation, double inputEV);

    double brightness() const { return m_brightness; }
    double contrast() const { return m_contrast; }
    double saturation() const { return m_saturation; }
    double inputEV() const { return m_inputEV; }

protected:
    ImagePtr processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const override;

private:
    const double m_brightness;
    const double m_contrast;
    const double m_saturation;
    const double m_inputEV;
};

// A grey, slightly brightened image: the colour controls with brightness 0, contrast 1,
// saturation 0 and inputEV 0.7, under an identifier of its own.
class BlackWhiteProcessor final : public DecodingImageProcessor {
public:
    BlackWhiteProcessor();

protected:
    ImagePtr processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const override;

private:
    const ColorControlsProcessor m_colorControls;
};

} // namespace Lumen
