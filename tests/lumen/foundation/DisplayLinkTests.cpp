#include "Lumen/foundation/DisplayLink.h"

#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QObject>

#include <memory>

using Lumen::DisplayLink;
using Lumen::DisplayLinkFrame;
using Lumen::DisplayLinkTickSource;

namespace {

struct SourceRecord {
    int starts = 0;
    int stops = 0;
    bool running = false;
    DisplayLinkTickSource::Handler handler;
};

// Ticks only when the test says so. Its record outlives it, so a test can check what the link
// did to its source after the link is gone.
class ManualTickSource final : public DisplayLinkTickSource {
public:
    explicit ManualTickSource(std::shared_ptr<SourceRecord> record) : m_record(std::move(record)) {}

    void setHandler(Handler handler) override { m_record->handler = std::move(handler); }
    void start() override
    {
        ++m_record->starts;
        m_record->running = true;
    }
    void stop() override
    {
        ++m_record->stops;
        m_record->running = false;
    }
    bool isRunning() const override { return m_record->running; }

private:
    std::shared_ptr<SourceRecord> m_record;
};

class TickTarget : public QObject {
public:
    void onTick()
    {
        ++ticks;
        if (link && invalidateOnTick)
            link->invalidate();
    }

    int ticks = 0;
    DisplayLink* link = nullptr;
    bool invalidateOnTick = false;
};

void tick(const SourceRecord& record, double hostTime, std::optional<double> period = 1.0 / 60.0)
{
    if (record.handler)
        record.handler(DisplayLinkFrame{hostTime, period});
}

struct Fixture {
    std::shared_ptr<SourceRecord> record = std::make_shared<SourceRecord>();
    TickTarget target;
    std::unique_ptr<DisplayLink> link = std::make_unique<DisplayLink>(
        &target, &TickTarget::onTick, std::make_unique<ManualTickSource>(record));
};

} // namespace

TEST(DisplayLinkState, StartsPausedWithNothingRecorded)
{
    Fixture f;
    EXPECT_TRUE(f.link->isPaused());
    EXPECT_FALSE(f.record->running);
    EXPECT_EQ(f.link->timestamp(), 0.0);
    EXPECT_EQ(f.link->duration(), 0.0);
    EXPECT_EQ(f.link->preferredFramesPerSecond(), 0);
}

TEST(DisplayLinkState, PausingStartsAndStopsTheSourceOnlyWhenNeeded)
{
    Fixture f;
    f.link->setPaused(true);
    EXPECT_EQ(f.record->stops, 0);
    f.link->setPaused(false);
    f.link->setPaused(false);
    EXPECT_EQ(f.record->starts, 1);
    EXPECT_FALSE(f.link->isPaused());
    f.link->setPaused(true);
    EXPECT_EQ(f.record->stops, 1);
    EXPECT_TRUE(f.link->isPaused());
}

TEST(DisplayLinkTicks, TheFirstTickOnlyRecordsItsTime)
{
    Fixture f;
    f.link->setPaused(false);
    tick(*f.record, 10.0, 0.02);
    EXPECT_EQ(f.target.ticks, 0);
    EXPECT_EQ(f.link->timestamp(), 10.0);
    EXPECT_EQ(f.link->duration(), 0.02);

    tick(*f.record, 10.02, 0.02);
    EXPECT_EQ(f.target.ticks, 1);
    EXPECT_EQ(f.link->timestamp(), 10.02);
}

TEST(DisplayLinkTicks, AnUnknownPeriodKeepsTheLastDuration)
{
    Fixture f;
    tick(*f.record, 1.0, 0.5);
    tick(*f.record, 1.5, std::nullopt);
    EXPECT_EQ(f.link->duration(), 0.5);
    EXPECT_EQ(f.link->timestamp(), 1.5);
}

TEST(DisplayLinkTicks, AReleasedTargetHearsNothing)
{
    auto record = std::make_shared<SourceRecord>();
    auto target = std::make_unique<TickTarget>();
    DisplayLink link(target.get(), &TickTarget::onTick, std::make_unique<ManualTickSource>(record));
    tick(*record, 1.0);
    target.reset();
    tick(*record, 2.0); // must not reach the destroyed target
    EXPECT_EQ(link.timestamp(), 1.0);
}

TEST(DisplayLinkInvalidation, IsForGood)
{
    Fixture f;
    f.link->setPaused(false);
    tick(*f.record, 1.0);
    f.link->invalidate();
    EXPECT_TRUE(f.link->isPaused());
    EXPECT_FALSE(f.link->isValid());
    EXPECT_FALSE(f.record->running);

    tick(*f.record, 2.0);
    EXPECT_EQ(f.target.ticks, 0);
    f.link->setPaused(false);
    EXPECT_TRUE(f.link->isPaused());
    EXPECT_FALSE(f.record->running);
}

TEST(DisplayLinkInvalidation, ATickMayInvalidateItsOwnLink)
{
    Fixture f;
    f.target.link = f.link.get();
    f.target.invalidateOnTick = true;
    f.link->setPaused(false);
    tick(*f.record, 1.0);
    tick(*f.record, 2.0);
    EXPECT_EQ(f.target.ticks, 1);
    EXPECT_FALSE(f.link->isValid());
    tick(*f.record, 3.0);
    EXPECT_EQ(f.target.ticks, 1);
}

TEST(DisplayLinkInvalidation, DestructionStopsTheSource)
{
    Fixture f;
    f.link->setPaused(false);
    f.link.reset();
    EXPECT_FALSE(f.record->running);
    EXPECT_FALSE(f.record->handler);
}

TEST(DisplayLinkTimer, TicksTheTargetFromTheScreenTimer)
{
    TickTarget target;
    DisplayLink link(&target, &TickTarget::onTick);
    Tivrand::Testing::pumpEvents(std::chrono::milliseconds(50));
    EXPECT_EQ(target.ticks, 0); // paused at creation

    link.setPaused(false);
    ASSERT_TRUE(Tivrand::Testing::waitUntil([&] { return target.ticks >= 2; }));
    EXPECT_GT(link.duration(), 0.0);
    EXPECT_GT(link.timestamp(), 0.0);
    link.setPaused(true);
}
