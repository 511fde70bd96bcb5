#include "Lumen/download/SessionDataTask.h"
#include "Lumen/foundation/ImageLoadingProgressSideEffect.h"
#include "tests/lumen/foundation/FoundationTesting.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace Lumen {
namespace {

using namespace std::chrono_literals;
using Tivrand::Testing::waitUntil;

struct Report {
    std::int64_t received;
    std::int64_t total;
    bool onMainThread;
    bool operator==(const Report&) const = default;
};

class ProgressSideEffectTest : public ::testing::Test {
protected:
    std::vector<Report> reports; // only ever touched on the main thread
    std::shared_ptr<ImageLoadingProgressSideEffect> sideEffect = ImageLoadingProgressSideEffect::make(
        [this](std::int64_t received, std::int64_t total) { reports.push_back({received, total, Testing::onGuiThread()}); });

    static std::shared_ptr<SessionDataTask> taskExpecting(qint64 length)
    {
        auto task = std::make_shared<SessionDataTask>();
        task->setResponse(URLResponse{.url = {}, .statusCode = 200, .headers = {}, .expectedContentLength = length});
        return task;
    }

    // The session appends each chunk to the task before it hands the chunk on.
    void receive(const std::shared_ptr<SessionDataTask>& task, qsizetype size)
    {
        const QByteArray chunk(size, 'x');
        task->didReceiveData(chunk);
        sideEffect->onDataReceived(task, chunk);
    }
};

// Each report runs later on the main thread and takes the sizes as they are then; queued
// reports keep the side effect alive.
TEST_F(ProgressSideEffectTest, ReportsAccumulatedSizesOnTheMainThreadAfterTheCallReturns)
{
    const auto task = taskExpecting(350);
    std::weak_ptr<ImageLoadingProgressSideEffect> watched = sideEffect;
    std::thread session([&] {
        for (const qsizetype size : {100, 200, 50})
            receive(task, size);
    });
    session.join();
    sideEffect.reset();
    EXPECT_TRUE(reports.empty());
    ASSERT_TRUE(waitUntil([&] { return reports.size() == 3; }));
    EXPECT_EQ(reports, std::vector<Report>(3, Report{350, 350, true}));
    EXPECT_TRUE(waitUntil([&] { return watched.expired(); }));
}

TEST_F(ProgressSideEffectTest, UnknownLengthMissingResponseOrAFailingCheckGiveNoReport)
{
    receive(taskExpecting(-1), 100);
    receive(std::make_shared<SessionDataTask>(), 100);
    sideEffect->onDataReceived(nullptr, QByteArray(100, 'x'));

    // A replaced check stops even reports already queued.
    const auto task = taskExpecting(300);
    receive(task, 100);
    sideEffect->setOnShouldApply([] { return false; });
    receive(task, 100);
    Tivrand::Testing::pumpEvents(50ms);
    EXPECT_TRUE(reports.empty());

    sideEffect->setOnShouldApply({});
    receive(taskExpecting(100), 100);
    EXPECT_TRUE(waitUntil([&] { return reports.size() == 1; }));
}

TEST(ImageLoadingProgressSideEffect, ChecksMayBeReplacedWhileOtherThreadsReadThem)
{
    const auto sideEffect = ImageLoadingProgressSideEffect::make({});
    std::atomic<bool> stop = false;
    std::thread reader([&] {
        while (!stop)
            (void)sideEffect->onShouldApply()();
    });
    for (int i = 0; i < 1000; ++i)
        sideEffect->setOnShouldApply([flip = i % 2 == 0] { return flip; });
    stop = true;
    reader.join();
    EXPECT_FALSE(sideEffect->onShouldApply()());
}

} // namespace
} // namespace Lumen
