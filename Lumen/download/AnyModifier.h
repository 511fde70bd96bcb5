#pragma once

#include "Lumen/download/ImageDownloadRequestModifier.h"

#include <functional>
#include <utility>

namespace Lumen {

// A request modifier made from a block.
class AnyModifier final : public ImageDownloadRequestModifier {
public:
    using Block = std::function<std::optional<URLRequest>(const URLRequest&)>;

    explicit AnyModifier(Block block) : m_block(std::move(block)) {}

    std::optional<URLRequest> modifiedNow(const URLRequest& request) const override { return m_block(request); }
    std::function<void(std::shared_ptr<DownloadTask>)> onDownloadTaskStarted() const override { return {}; }

private:
    Block m_block;
};

} // namespace Lumen
