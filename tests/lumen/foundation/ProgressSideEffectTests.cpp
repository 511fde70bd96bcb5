#include "Lumen/download/SessionDataTask.h"
#include "Lumen/foundation/ImageLoadingProgressSideEffect.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <thread>
#include <vector>

namespace Lumen {
namespace {

using Tivrand::Testing::pumpEvents;
using Tivrand::Testing::waitUntil;

using namespace std::chrono_literals;

struct Report {
    std::int64_t received;
    std::int64_t total;
    bool onMainThread;

    bool operator==(const Report&) const = default;
};

// Records every report; only ever touched on the main thread.
struct Recorder {
    std::vector<Report> reports;

    std::shared_ptr<ImageLoadingProgressSideEffect> makeSideEffect()
    {
        return ImageLoadingProgressSideEffect::make([this](std::int64_t received, std::int64_t total) {
            reports.push_back({received, total, QThread::currentThread() == qApp->thread()});
        });
    }
};

std::shared_ptr<SessionDataTask> taskExpecting(qint64 length)
{
    auto task = std::make_shared<SessionDataTask>();
    URLResponse response;
    response.url = QUrl(QStringLiteral("https://img.example.com/a.png"));
    response.statusCode = 200;
    response.expectedContentLength = length;
    task->setResponse(response);
    return task;
}

// The session appends each chunk to the task before it hands the chunk on.
void receive(ImageLoadingProgressSideEffect& sideEffect, const std::shared_ptr<SessionDataTask>& task, qsizetype size)
{
    const QByteArray chunk(size, 'x');
    task->didReceiveData(chunk);
    sideEffect.onDataReceived(task, chunk);
}

TEST(ImageLoadingProgressSideEffect, ReportsAccumulatedSizesOnTheMainThread)
{
    Recorder recorder;
    const auto sideEffect = recorder.makeSideEffect();
    const auto task = taskExpecting(350);

    for (const qsizetype size : {100, 200, 50}) {
        const auto before = recorder.reports.size();
        receive(*sideEffect, task, size);
        // Called on the main thread, the report is still queued when the call returns.
        EXPECT_EQ(recorder.reports.size(), before);
        ASSERT_TRUE(waitUntil([&] { return recorder.reports.size() == before + 1; }));
    }

    const std::vector<Report> expected{{100, 350, true}, {300, 350, true}, {350, 350, true}};
    EXPECT_EQ(recorder.reports, expected);
}

TEST(ImageLoadingProgressSideEffect, SizesAreTakenWhenTheReportRuns)
{
    Recorder recorder;
    const auto sideEffect = recorder.makeSideEffect();
    const auto task = taskExpecting(350);

    // All three chunks arrive before the main thread gets to the first report.
    for (const qsizetype size : {100, 200, 50})
        receive(*sideEffect, task, size);
    ASSERT_TRUE(waitUntil([&] { return recorder.reports.size() == 3; }));

    const std::vector<Report> expected(3, Report{350, 350, true});
    EXPECT_EQ(recorder.reports, expected);
}

TEST(ImageLoadingProgressSideEffect, ChunksFromAnotherThreadAreReportedOnMainInOrder)
{
    Recorder recorder;
    const auto sideEffect = recorder.makeSideEffect();
    const auto task = taskExpecting(600);

    std::thread session([&] {
        for (int i = 0; i < 6; ++i)
            receive(*sideEffect, task, 100);
    });
    session.join();
    ASSERT_TRUE(waitUntil([&] { return recorder.reports.size() == 6; }));

    for (const auto& report : recorder.reports) {
        EXPECT_TRUE(report.onMainThread);
        EXPECT_EQ(report.total, 600);
    }
}

TEST(ImageLoadingProgressSideEffect, UnknownLengthOrMissingResponseGivesNoReport)
{
    Recorder recorder;
    const auto sideEffect = recorder.makeSideEffect();

    receive(*sideEffect, taskExpecting(-1), 100);
    receive(*sideEffect, std::make_shared<SessionDataTask>(), 100);
    sideEffect->onDataReceived(nullptr, QByteArray(100, 'x'));
    pumpEvents(50ms);

    EXPECT_TRUE(recorder.reports.empty());
}

TEST(ImageLoadingProgressSideEffect, AReplacedCheckStopsEvenQueuedReports)
{
    Recorder recorder;
    const auto sideEffect = recorder.makeSideEffect();
    const auto task = taskExpecting(300);

    EXPECT_TRUE(sideEffect->onShouldApply()());
    receive(*sideEffect, task, 100);
    receive(*sideEffect, task, 100);
    sideEffect->setOnShouldApply([] { return false; });
    receive(*sideEffect, task, 100);
    pumpEvents(50ms);

    EXPECT_TRUE(recorder.reports.empty());
}

TEST(ImageLoadingProgressSideEffect, AnEmptyCheckAppliesAlways)
{
    Recorder recorder;
    const auto sideEffect = recorder.makeSideEffect();
    sideEffect->setOnShouldApply({});
    ASSERT_TRUE(static_cast<bool>(sideEffect->onShouldApply()));
    EXPECT_TRUE(sideEffect->onShouldApply()());

    receive(*sideEffect, taskExpecting(100), 100);
    EXPECT_TRUE(waitUntil([&] { return recorder.reports.size() == 1; }));
}

TEST(ImageLoadingProgressSideEffect, QueuedReportsKeepTheSideEffectAndTaskAlive)
{
    Recorder recorder;
    std::weak_ptr<ImageLoadingProgressSideEffect> watched;
    {
        auto sideEffect = recorder.makeSideEffect();
        watched = sideEffect;
        receive(*sideEffect, taskExpecting(100), 100);
    }
    EXPECT_FALSE(watched.expired());
    ASSERT_TRUE(waitUntil([&] { return recorder.reports.size() == 1; }));
    EXPECT_EQ(recorder.reports.front(), (Report{100, 100, true}));
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
