#include "Lumen/download/SessionDataTask.h"
#include "Lumen/foundation/ImageLoadingProgressSideEffect.h"
#include "tests/lumen/foundation/FoundationTesting.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace Lumen {
namespace {

using namespace std::chrono_literals;
using Tivrand::Testing::pumpEvents;
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
    std::shared_ptr<ImageLoadingProgressSideEffect> sideEffect = makeSideEffect();

    std::shared_ptr<ImageLoadingProgressSideEffect> makeSideEffect()
    {
        return ImageLoadingProgressSideEffect::make([this](std::int64_t received, std::int64_t total) {
            reports.push_back({received, total, Testing::onGuiThread()});
        });
    }

    static std::shared_ptr<SessionDataTask> taskExpecting(qint64 length)
    {
        auto task = std::make_shared<SessionDataTask>();
        URLResponse response;
        response.statusCode = 200;
        response.expectedContentLength = length;
        task->setResponse(response);
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

TEST_F(ProgressSideEffectTest, ReportsAccumulatedSizesOnTheMainThreadAfterTheCallReturns)
{
    const auto task = taskExpecting(350);
    for (const qsizetype size : {100, 200, 50}) {
        const auto before = reports.size();
        receive(task, size);
        EXPECT_EQ(reports.size(), before);
        ASSERT_TRUE(waitUntil([&] { return reports.size() == before + 1; }));
    }
    EXPECT_EQ(reports, (std::vector<Report>{{100, 350, true}, {300, 350, true}, {350, 350, true}}));
}

TEST_F(ProgressSideEffectTest, SizesAreTakenWhenTheReportRuns)
{
    const auto task = taskExpecting(350);
    // All three chunks arrive before the main thread gets to the first report.
    for (const qsizetype size : {100, 200, 50})
        receive(task, size);
    ASSERT_TRUE(waitUntil([&] { return reports.size() == 3; }));
    EXPECT_EQ(reports, std::vector<Report>(3, Report{350, 350, true}));

    const auto other = taskExpecting(600);
    std::thread session([&] {
        for (int i = 0; i < 6; ++i)
            receive(other, 100);
    });
    session.join();
    ASSERT_TRUE(waitUntil([&] { return reports.size() == 9; }));
    EXPECT_TRUE(std::ranges::all_of(reports, &Report::onMainThread));
}

TEST_F(ProgressSideEffectTest, UnknownLengthMissingResponseOrAFailingCheckGiveNoReport)
{
    receive(taskExpecting(-1), 100);
    receive(std::make_shared<SessionDataTask>(), 100);
    sideEffect->onDataReceived(nullptr, QByteArray(100, 'x'));

    // A replaced check stops even reports already queued.
    const auto task = taskExpecting(300);
    EXPECT_TRUE(sideEffect->onShouldApply()());
    receive(task, 100);
    receive(task, 100);
    sideEffect->setOnShouldApply([] { return false; });
    receive(task, 100);
    pumpEvents(50ms);
    EXPECT_TRUE(reports.empty());

    sideEffect->setOnShouldApply({});
    ASSERT_TRUE(static_cast<bool>(sideEffect->onShouldApply()));
    receive(taskExpecting(100), 100);
    EXPECT_TRUE(waitUntil([&] { return reports.size() == 1; }));
}

TEST_F(ProgressSideEffectTest, QueuedReportsKeepTheSideEffectAlive)
{
    std::weak_ptr<ImageLoadingProgressSideEffect> watched = sideEffect;
    receive(taskExpecting(100), 100);
    sideEffect.reset();
    EXPECT_FALSE(watched.expired());
    ASSERT_TRUE(waitUntil([&] { return reports.size() == 1; }));
    EXPECT_EQ(reports.front(), (Report{100, 100, true}));
    EXPECT_TRUE(waitUntil([&] { return watched.expired(); }));
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
