#include "Lumen/views/PlaybackStallGuard.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <chrono>

namespace Lumen {
namespace {

using namespace std::chrono_literals;
using namespace Tivrand::Testing;

TEST(PlaybackStallGuard, ReportsAPlaybackThatCrawlsOnceAndNeverOneThatKeepsUpOrIsNoLongerWatched)
{
    qint64 position = 0;
    bool keepingUp = true;
    int reports = 0;
    // Every read is at least a window after the one before it.
    PlaybackStallGuard guard([&] { return position += keepingUp ? 200 : 1; }, 200ms);
    QObject::connect(&guard, &PlaybackStallGuard::stalled, [&] { ++reports; });

    guard.start();
    pumpEvents(600ms);
    EXPECT_EQ(reports, 0);

    keepingUp = false;
    EXPECT_TRUE(waitUntil([&] { return reports == 1; }));
    pumpEvents(600ms);
    EXPECT_EQ(reports, 1) << "a stall is told once, until the guard is started again";

    guard.start();
    EXPECT_TRUE(waitUntil([&] { return reports == 2; }));

    guard.start();
    guard.stop();
    pumpEvents(600ms);
    EXPECT_EQ(reports, 2);
}

} // namespace
} // namespace Lumen
