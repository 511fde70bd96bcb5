#pragma once

#include "Lumen/download/ImageDownloader.h"
#include "Lumen/download/Session.h"
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

// A handler that keeps `outcomes` alive, for downloads the test may leave running when it fails.
inline ImageDownloader::CompletionHandler collectInto(const std::shared_ptr<Outcomes>& outcomes)
{
    return [outcomes](Outcomes::Result result) { outcomes->handler()(std::move(result)); };
}

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

// Ends `session` and waits until it is gone: its last work then stays clear of the process's exit.
inline void endSession(std::shared_ptr<Session>& session)
{
    const std::weak_ptr<Session> ended = session;
    session->invalidateAndCancel();
    session.reset();
    EXPECT_TRUE(Tivrand::Testing::waitUntil([&] { return ended.expired(); }));
}

// A downloader of its own for each test, whose session has ended when the test is over.
class DownloaderTest : public ::testing::Test {
protected:
    void SetUp() override { downloader = ImageDownloader::make(QStringLiteral("test")); }

    // The session ends on its own thread; waiting for it keeps its last work clear of the
    // process's exit.
    void TearDown() override
    {
        const std::weak_ptr<Session> session = downloader ? downloader->session() : nullptr;
        downloader.reset();
        // Errors name their transfer, and so keep its session.
        outcomes.clear();
        EXPECT_TRUE(Tivrand::Testing::waitUntil([&] { return session.expired(); }, std::chrono::seconds(10)));
    }

    // Downloads `target` and waits for its one result. Cases where no answer comes pass a short
    // timeout; the others keep the default, so slow machines do not time out real transfers.
    Outcomes::Result fetch(const QUrl& target, const LumenParsedOptionsInfo& options = optionsWith(), double timeout = 15)
    {
        downloader->setDownloadTimeout(timeout);
        Outcomes outcome;
        downloader->downloadImage(target, options, outcome.handler());
        EXPECT_TRUE(outcome.waitFor(1));
        return outcome.at(0).value();
    }

    std::shared_ptr<ImageDownloader> downloader;
    Outcomes outcomes;
};

} // namespace Lumen::Testing
