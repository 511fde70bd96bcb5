#pragma once

#include "Lumen/foundation/ImageProcessor.h"

#include <QString>

#include <utility>

namespace Lumen {

// The image an item holds, or its data decoded by the default processor; null for
// undecodable data.
ImagePtr decodedItem(const ImageProcessItem& item, const LumenParsedOptionsInfo& options);

// A processor whose work is on images: a data item is first decoded by the default processor
// (undecodable bytes give null), then handled as the decoded image. The identifier is fixed at
// construction.
class DecodingImageProcessor : public ImageProcessor {
public:
    QString identifier() const final { return m_identifier; }
    ImagePtr process(const ImageProcessItem& item, const LumenParsedOptionsInfo& options) const final;

protected:
    explicit DecodingImageProcessor(QString identifier) : m_identifier(std::move(identifier)) {}

    // Called with a non-null image only.
    virtual ImagePtr processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const = 0;

private:
    const QString m_identifier;
};

} // namespace Lumen
