#include "Lumen/views/loading/TaskPropertyAccessor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace Lumen {
namespace {

// The retrieval's threads ask whether a request is current while the GUI thread begins and
// ends requests.
TEST(TaskPropertyAccessorTest, CurrencyIsAskedFromOtherThreadsWhileRequestsComeAndGo)
{
    TaskPropertyAccessor task;
    std::atomic<bool> stop{false};
    std::thread checker([&] {
        while (!stop.load())
            (void)task.isCurrent(1);
    });
    for (TaskPropertyAccessor::Identifier identifier = 1; identifier <= 2000; ++identifier) {
        task.beginRequest(identifier);
        EXPECT_TRUE(task.isCurrent(identifier));
        task.endRequest();
    }
    stop = true;
    checker.join();
    EXPECT_EQ(task.taskIdentifier(), std::nullopt);
}

} // namespace
} // namespace Lumen
