#pragma once

#include "Lumen/download/ImageDownloader.h"
#include "tests/support/CountingProcessor.h"
#include "tests/support/EventLoop.h"
#include "tests/support/ImageResponses.h"
#include "tests/support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <vector>

namespace Lumen::Testing {

using Tivrand::Testing::CountingProcessor;
using Tivrand::Testing::pngBytes;
using Tivrand::Testing::serveBytes;

// The error code of a result, 0 for success.
inline int errorCode(const ImageDownloader::CompletionResult& result)
{
    return result ? 0 : result.error().errorCode();
}

// The completions of downloads, collected from any thread.
class Outcomes {
public:
    using Result = ImageDownloader::CompletionResult;

    ImageDownloader::CompletionHandler handler(std::function<void()> onCall = {})
    {
        return [this, onCall = std::move(onCall)](Result result) {
            if (onCall)
                onCall();
            std::lock_guard lock(m_mutex);
            m_results.push_back(std::move(result));
        };
    }
    bool waitFor(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        return Tivrand::Testing::waitUntil([&] { return at(count - 1).has_value(); }, timeout);
    }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_results.clear();
    }
    // None where that result has not come yet.
    std::optional<Result> at(std::size_t index) const
    {
        std::lock_guard lock(m_mutex);
        return index < m_results.size() ? std::optional(m_results[index]) : std::nullopt;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Result> m_results;
};

inline LumenParsedOptionsInfo optionsWith(std::shared_ptr<const ImageProcessor> processor = nullptr)
{
    LumenParsedOptionsInfo options;
    if (processor)
        options.processor = std::move(processor);
    return options;
}

// The network error inside a session error, for checks of what the session decided.
inline std::optional<QNetworkReply::NetworkError> sessionErrorCode(const ImageDownloader::CompletionResult& result)
{
    const auto* sessionError = result ? nullptr : result.error().reasonAs<LumenError::ResponseErrorReason::URLSessionError>();
    return sessionError ? std::optional(static_cast<QNetworkReply::NetworkError>(sessionError->error.code())) : std::nullopt;
}

} // namespace Lumen::Testing
