#pragma once

#include "Lumen/foundation/ImageProcessor.h"

#include <atomic>

namespace Tivrand::Testing {

// Decodes like the default processor, under its own identifier, counting its runs.
class CountingProcessor final : public Lumen::ImageProcessor {
public:
    explicit CountingProcessor(QString identifier) : m_identifier(std::move(identifier)) {}
    QString identifier() const override { return m_identifier; }
    Lumen::ImagePtr process(const Lumen::ImageProcessItem& item, const Lumen::LumenParsedOptionsInfo& options) const override
    {
        ++runs;
        return Lumen::DefaultImageProcessor::shared()->process(item, options);
    }
    mutable std::atomic<int> runs{0};

private:
    QString m_identifier;
};

} // namespace Tivrand::Testing
