#pragma once

#include "Lumen/download/ImageDownloader.h"
#include "Lumen/foundation/ImageProcessor.h"
#include "tests/support/EventLoop.h"
#include "tests/support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <vector>

namespace Lumen::Testing {

inline QByteArray pngBytes(QSize size = {8, 8}, QColor color = Qt::red)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return bytes;
}

inline void serveBytes(httplib::Response& response, const QByteArray& bytes, const char* type = "image/png")
{
    response.set_content(bytes.toStdString(), type);
}

// Decodes like the default processor, under its own identifier, counting its runs.
class CountingProcessor final : public ImageProcessor {
public:
    explicit CountingProcessor(QString identifier) : m_identifier(std::move(identifier)) {}
    QString identifier() const override { return m_identifier; }
    ImagePtr process(const ImageProcessItem& item, const LumenParsedOptionsInfo& options) const override
    {
        ++runs;
        return DefaultImageProcessor::shared()->process(item, options);
    }
    mutable std::atomic<int> runs{0};

private:
    QString m_identifier;
};

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
        return Tivrand::Testing::waitUntil([&] { return size() >= count; }, timeout);
    }
    std::size_t size() const
    {
        std::lock_guard lock(m_mutex);
        return m_results.size();
    }
    Result at(std::size_t index) const
    {
        std::lock_guard lock(m_mutex);
        return m_results.at(index);
    }
    // The error code of a result, 0 for success.
    int codeAt(std::size_t index) const
    {
        const Result result = at(index);
        return result ? 0 : result.error().errorCode();
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
    if (result)
        return std::nullopt;
    const auto* sessionError = result.error().reasonAs<LumenError::ResponseErrorReason::URLSessionError>();
    if (!sessionError)
        return std::nullopt;
    return static_cast<QNetworkReply::NetworkError>(sessionError->error.code());
}

} // namespace Lumen::Testing
