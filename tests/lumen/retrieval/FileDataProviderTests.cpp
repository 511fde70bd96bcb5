#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/retrieval/Base64ImageDataProvider.h"
#include "Lumen/retrieval/LocalFileImageDataProvider.h"
#include "Lumen/retrieval/RawImageDataProvider.h"
#include "Lumen/retrieval/RegularFileReading.h"
#include "tests/lumen/foundation/FoundationTesting.h"
#include "tests/lumen/retrieval/ProviderTesting.h"

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
    const QString file = dir.filePath(QStringLiteral("a.png"));
    writeFile(file, QByteArray("bytes"));
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString huge = dir.filePath(QStringLiteral("huge"));
    writeFile(huge, {});
    ASSERT_EQ(::truncate(QFile::encodeName(huge).constData(), providedFileSizeLimit + 1), 0);

    const struct {
        const char* name;
        QUrl url;
        std::optional<int> errorCode;
    } table[] = {
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
        if (!row.errorCode) {
            EXPECT_EQ(result, QByteArray("bytes"));
            continue;
        }
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().domain(), QStringLiteral("POSIX"));
        EXPECT_EQ(result.error().code(), *row.errorCode);
    }
}

TEST(LocalFileImageDataProvider, AnswersWhereItsLoadingQueueSays)
{
    QTemporaryDir dir;
    const QUrl url = QUrl::fromLocalFile(dir.filePath(QStringLiteral("Shop.app/icon.png")));
    const LocalFileImageDataProvider untouched(url, std::nullopt, CallbackQueue::untouch());
    EXPECT_EQ(untouched.cacheKey(), QStringLiteral("lumen.local.cacheKey/Shop.app/icon.png"));
    EXPECT_EQ(untouched.contentURL(), url);
    bool answered = false;
    untouched.data([&](ImageDataProvider::Result) { answered = true; });
    EXPECT_TRUE(answered);

    const auto queue = DispatchQueue::makeSerial(QStringLiteral("test.loading"));
    Testing::Gate gate;
    queue->async([&] { gate.wait(); });
    std::atomic<bool> onQueue = false;
    std::atomic<bool> called = false;
    LocalFileImageDataProvider(url, std::nullopt, CallbackQueue::dispatch(*queue)).data([&](ImageDataProvider::Result) {
        onQueue = queue->isCurrent();
        called = true;
    });
    EXPECT_FALSE(called);
    gate.open();
    EXPECT_TRUE(Tivrand::Testing::waitUntil([&] { return called.load(); }));
    EXPECT_TRUE(onQueue);
}

TEST(InMemoryProviders, AnswerBeforeReturning)
{
    const auto future = RawImageDataProvider(QByteArray("raw"), QStringLiteral("k")).dataAsync();
    ASSERT_TRUE(future.isFinished());
    EXPECT_EQ(future.result(), QByteArray("raw"));

    const struct {
        const char* name;
        std::shared_ptr<ImageDataProvider> provider;
        std::optional<QByteArray> bytes;
    } table[] = {
        {"raw, empty", std::make_shared<RawImageDataProvider>(QByteArray(), QStringLiteral("k")), QByteArray()},
        {"Base64", std::make_shared<Base64ImageDataProvider>(QStringLiteral("aGk="), QStringLiteral("k")), QByteArray("hi")},
        {"Base64, empty", std::make_shared<Base64ImageDataProvider>(QString(), QStringLiteral("k")), QByteArray()},
        {"Base64, unpadded", std::make_shared<Base64ImageDataProvider>(QStringLiteral("aGk"), QStringLiteral("k")), std::nullopt},
        {"Base64, line break", std::make_shared<Base64ImageDataProvider>(QStringLiteral("aGk=\n"), QStringLiteral("k")), std::nullopt},
        {"Base64, outside the alphabet", std::make_shared<Base64ImageDataProvider>(QStringLiteral("a*k="), QStringLiteral("k")), std::nullopt},
        {"Base64, not Latin-1", std::make_shared<Base64ImageDataProvider>(QStringLiteral("a\u4e00k="), QStringLiteral("k")), std::nullopt},
        {"Base64, padding inside", std::make_shared<Base64ImageDataProvider>(QStringLiteral("aGk=aGk="), QStringLiteral("k")), std::nullopt},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        std::optional<ImageDataProvider::Result> answer;
        row.provider->data([&](ImageDataProvider::Result result) { answer = std::move(result); });
        ASSERT_TRUE(answer.has_value());
        if (row.bytes) {
            EXPECT_EQ(*answer, *row.bytes);
        } else {
            ASSERT_FALSE(answer->has_value());
            EXPECT_EQ(answer->error().domain(), QStringLiteral("Lumen.Base64ImageDataProviderError"));
        }
    }
}

} // namespace
} // namespace Lumen
