#pragma once

#include "Lumen/retrieval/ImageDataProvider.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QFile>

#include <memory>
#include <mutex>
#include <optional>

namespace Lumen::Testing {

// What the provider hands its handler, waited for with the event loop running. Not through
// `dataAsync`: a future released on a worker thread looks like a race to ThreadSanitizer, which
// cannot see Qt's own reference counting.
inline ImageDataProvider::Result dataOf(const ImageDataProvider& provider)
{
    struct Answer {
        std::mutex mutex;
        std::optional<ImageDataProvider::Result> result;
    };
    const auto answer = std::make_shared<Answer>();
    provider.data([answer](ImageDataProvider::Result result) {
        std::lock_guard lock(answer->mutex);
        answer->result = std::move(result);
    });
    const auto answered = [&] {
        std::lock_guard lock(answer->mutex);
        return answer->result.has_value();
    };
    if (!Tivrand::Testing::waitUntil(answered)) {
        ADD_FAILURE() << "the provider never answered";
        return std::unexpected(UnderlyingError(QStringLiteral("test"), 0, QStringLiteral("no answer")));
    }
    std::lock_guard lock(answer->mutex);
    return std::move(*answer->result);
}

// "domain code" of a failed answer, empty for bytes.
inline QString errorOf(const ImageDataProvider::Result& result)
{
    return result ? QString() : result.error().domain() + u' ' + QString::number(result.error().code());
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

} // namespace Lumen::Testing
