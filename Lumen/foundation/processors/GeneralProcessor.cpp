#include "Lumen/foundation/processors/GeneralProcessor.h"

namespace Lumen {

GeneralProcessor::GeneralProcessor(QString identifier, Body body)
    : m_identifier(std::move(identifier))
    , m_body(std::move(body))
{
}

ImagePtr GeneralProcessor::process(const ImageProcessItem& item, const LumenParsedOptionsInfo& options) const
{
    return m_body ? m_body(item, options) : nullptr;
}

std::shared_ptr<const ImageProcessor> append(std::shared_ptr<const ImageProcessor> first,
                                             std::shared_ptr<const ImageProcessor> second)
{
    if (!first)
        first = DefaultImageProcessor::shared();
    if (!second)
        second = DefaultImageProcessor::shared();
    QString identifier = first->identifier() + QStringLiteral("|>") + second->identifier();
    return std::make_shared<const GeneralProcessor>(
        std::move(identifier),
        [first = std::move(first), second = std::move(second)](const ImageProcessItem& item,
                                                               const LumenParsedOptionsInfo& options) -> ImagePtr {
            const ImagePtr intermediate = first->process(item, options);
            if (!intermediate)
                return nullptr;
            return second->process(ImageProcessItem{intermediate}, options);
        });
}

std::shared_ptr<const ImageProcessor> operator|(const std::shared_ptr<const ImageProcessor>& first,
                                                const std::shared_ptr<const ImageProcessor>& second)
{
    return append(first, second);
}

} // namespace Lumen
