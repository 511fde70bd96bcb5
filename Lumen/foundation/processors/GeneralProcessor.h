#pragma once

#include "Lumen/foundation/ImageProcessor.h"

#include <QString>

#include <functional>
#include <memory>

namespace Lumen {

// A processor made of a closure, above all the result of joining two processors.
class GeneralProcessor final : public ImageProcessor {
public:
    using Body = std::function<ImagePtr(const ImageProcessItem&, const LumenParsedOptionsInfo&)>;

    // An empty body processes nothing: every item gives null.
    GeneralProcessor(QString identifier, Body body);

    QString identifier() const override { return m_identifier; }
    ImagePtr process(const ImageProcessItem& item, const LumenParsedOptionsInfo& options) const override;

private:
    const QString m_identifier;
    const Body m_body;
};

// `first`, then `second` on `first`'s image with the same options; null as soon as a stage
// answers null (the second stage then never runs). The identifier is both identifiers joined
// by "|>", also when one is empty. A null processor stands for the default processor.
std::shared_ptr<const ImageProcessor> append(std::shared_ptr<const ImageProcessor> first,
                                             std::shared_ptr<const ImageProcessor> second);

// `first | second` is `append(first, second)`; chains nest to any depth.
std::shared_ptr<const ImageProcessor> operator|(const std::shared_ptr<const ImageProcessor>& first,
                                                const std::shared_ptr<const ImageProcessor>& second);

} // namespace Lumen
