#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/retrieval/Base64ImageDataProvider.h"
#include "Lumen/retrieval/LocalFileImageDataProvider.h"
#include "Lumen/retrieval/RawImageDataProvider.h"
#include "Lumen/retrieval/RegularFileReading.h"
#include "tests/lumen/retrieval/RetrievalTesting.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <atomic>

#include <sys/stat.h>
#include <unistd.h>

namespace Lumen {
namespace {

using Testing::dataOf;
using Testing::writeFile;

TEST(LocalFileImageDataProvider, ReadsRegularFilesWithinTheLimitOnly)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("a.png")), fifo = dir.filePath(QStringLiteral("fifo")),
                  huge = dir.filePath(QStringLiteral("huge"));
    writeFile(file, QByteArray("bytes"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    writeFile(huge, {});
    ASSERT_EQ(::truncate(QFile::encodeName(huge).constData(), providedFileSizeLimit + 1), 0);

    const struct { const char* name; QUrl url; std::optional<int> errorCode; } table[] = {
        {"regular file", QUrl::fromLocalFile(file), std::nullopt},
        {"missing file", QUrl::fromLocalFile(dir.filePath(QStringLiteral("none"))), ENOENT},
        {"folder", QUrl::fromLocalFile(dir.path()), EISDIR},
        {"FIFO", QUrl::fromLocalFile(fifo), EINVAL},
        {"device", QUrl::fromLocalFile(QStringLiteral("/dev/zero")), EINVAL},
        {"above the limit", QUrl::fromLocalFile(huge), EFBIG},
        {"remote URL", QUrl(QStringLiteral("https://img.example.com/a.png")), EINVAL},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        const auto result = dataOf(LocalFileImageDataProvider(row.url));
        EXPECT_EQ(Testing::errorOf(result), row.errorCode ? "POSIX " + QString::number(*row.errorCode) : QString());
        EXPECT_EQ(result.value_or("?"), row.errorCode ? "?" : QByteArray("bytes"));
    }
}

TEST(LocalFileImageDataProvider, AnswersOnItsLoadingQueue)
{
    const QUrl url = QUrl::fromLocalFile(QStringLiteral("/none/icon.png"));
    const auto queue = DispatchQueue::makeSerial(QStringLiteral("test.loading"));
    std::atomic<bool> onQueue = false, called = false;
    LocalFileImageDataProvider(url, std::nullopt, CallbackQueue::dispatch(*queue)).data([&](auto) {
        onQueue = queue->isCurrent();
        called = true;
    });
    EXPECT_TRUE(Tivrand::Testing::waitUntil([&] { return called.load(); }));
    EXPECT_TRUE(onQueue);
}

TEST(InMemoryProviders, AnswerBeforeReturning)
{
    const auto future = RawImageDataProvider(QByteArray("raw"), QStringLiteral("k")).dataAsync();
    ASSERT_TRUE(future.isFinished());
    EXPECT_EQ(future.result(), QByteArray("raw"));

    const auto base64 = [](const QString& text) { return std::make_shared<Base64ImageDataProvider>(text, "k"); };
    const struct {
        const char* name;
        std::shared_ptr<ImageDataProvider> provider;
        std::optional<QByteArray> bytes;
    } table[] = {
        {"raw, empty", std::make_shared<RawImageDataProvider>(QByteArray(), QStringLiteral("k")), QByteArray()},
        {"Base64", base64("aGk="), QByteArray("hi")},
        {"Base64, empty", base64(QString()), QByteArray()},
        {"Base64, unpadded", base64("aGk"), std::nullopt},
        {"Base64, line break", base64("aGk=\n"), std::nullopt},
        {"Base64, outside the alphabet", base64("a*k="), std::nullopt},
        {"Base64, not Latin-1", base64(QStringLiteral("a\u4e00k=")), std::nullopt},
        {"Base64, padding inside", base64("aGk=aGk="), std::nullopt},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        std::optional<ImageDataProvider::Result> answer;
        row.provider->data([&](ImageDataProvider::Result result) { answer = std::move(result); });
        ASSERT_TRUE(answer.has_value());
        if (row.bytes)
            EXPECT_EQ(*answer, *row.bytes);
        else
            EXPECT_EQ(answer->has_value() ? QString() : answer->error().domain(), "Lumen.Base64ImageDataProviderError");
    }
}

} // namespace
} // namespace Lumen
