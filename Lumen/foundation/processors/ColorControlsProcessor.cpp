#include "Lumen/foundation/processors/ColorControlsProcessor.h"

#include "Lumen/foundation/LibraryDefaults.h"
#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/imaging/ImageFilter.h"
#include "Lumen/foundation/imaging/ImageResampling.h"
#include "Lumen/foundation/processors/ProcessorIdentifierText.h"

namespace Lumen {

namespace {

QString colorControlsIdentifier(double brightness, double contrast, double saturation, double inputEV)
{
    return QLatin1String(IdentifierText::prefix) + QStringLiteral("ColorControlsProcessor(")
        + IdentifierText::number(brightness) + QLatin1Char('_') + IdentifierText::number(contrast) + QLatin1Char('_')
        + IdentifierText::number(saturation) + QLatin1Char('_') + IdentifierText::number(inputEV) + QLatin1Char(')');
}

} // namespace

ColorControlsProcessor::ColorControlsProcessor(double brightness, double contrast, double saturation, double inputEV)
    : DecodingImageProcessor(colorControlsIdentifier(brightness, contrast, saturation, inputEV))
    , m_brightness(brightness)
    , m_contrast(contrast)
    , m_saturation(saturation)
    , m_inputEV(inputEV)
{
}

ImagePtr ColorControlsProcessor::processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const
{
    return colorAdjusted(scaled(image, options.scaleFactor), m_brightness, m_contrast, m_saturation, m_inputEV);
}

BlackWhiteProcessor::BlackWhiteProcessor()
    : DecodingImageProcessor(QString::fromLatin1(Defaults::blackWhiteProcessorIdentifier))
    , m_colorControls(0.0, 1.0, 0.0, 0.7)
{
}

ImagePtr BlackWhiteProcessor::processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const
{
    return m_colorControls.process(ImageProcessItem{image}, options);
}

} // namespace Lumen
