#pragma once

#include "Lumen/download/ImageModifier.h"

#include <QString>

#include <expected>
#include <functional>
#include <utility>

namespace Lumen {

// An image modifier made from a block that may fail: a failure leaves the image as it was.
class AnyImageModifier final : public ImageModifier {
public:
    using Block = std::function<std::expected<ImagePtr, QString>(const ImagePtr&)>;

    explicit AnyImageModifier(Block block) : m_block(std::move(block)) {}

    ImagePtr modify(const ImagePtr& image) const override { return m_block(image).value_or(image); }

private:
    Block m_block;
};

} // namespace Lumen
