#pragma once

#include "Lumen/retrieval/ImageDataProvider.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QFile>

namespace Lumen::Testing {

// What the provider hands its handler, waited for with the event loop running.
inline ImageDataProvider::Result dataOf(const ImageDataProvider& provider)
{
    auto future = provider.dataAsync();
    if (!Tivrand::Testing::waitUntil([&] { return future.isFinished(); })) {
        ADD_FAILURE() << "the provider never answered";
        return std::unexpected(UnderlyingError(QStringLiteral("test"), 0, QStringLiteral("no answer")));
    }
    return future.result();
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

} // namespace Lumen::Testing
