#pragma once

#include "Lumen/download/ImageDownloadRedirectHandler.h"

#include <functional>
#include <utility>

namespace Lumen {

// A redirect handler made from a block that answers through a completion, later and on any
// thread if it likes. Until it answers, the transfer waits (at most the request's timeout);
// only its first answer counts.
class AnyRedirectHandler final : public ImageDownloadRedirectHandler {
public:
    using Completion = std::function<void(std::optional<URLRequest>)>;
    using Block = std::function<void(const std::shared_ptr<SessionDataTask>&, const URLResponse&, const URLRequest&,
                                     Completion)>;

    explicit AnyRedirectHandler(Block block) : m_block(std::move(block)) {}

    QFuture<std::optional<URLRequest>> handleHTTPRedirection(const std::shared_ptr<SessionDataTask>& task,
                                                             const URLResponse& response,
                                                             const URLRequest& newRequest) const override;

private:
    Block m_block;
};

} // namespace Lumen
