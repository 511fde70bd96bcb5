#include "Lumen/foundation/DisplayLink.h"

#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QObject>

namespace Lumen {
namespace {

struct SourceRecord {
    int starts = 0;
    bool running = false;
    DisplayLinkTickSource::Handler handler;

    void tick(double hostTime, std::optional<double> period = 1.0 / 60.0) const
    {
        if (handler)
            handler(DisplayLinkFrame{hostTime, period});
    }
};

// Ticks only when the test says so. Its record outlives it, so a test can check what the link
// did to its source after the link is gone.
class ManualTickSource final : public DisplayLinkTickSource {
public:
    explicit ManualTickSource(std::shared_ptr<SourceRecord> record) : m_record(std::move(record)) {}
    void setHandler(Handler handler) override { m_record->handler = std::move(handler); }
    void start() override { ++m_record->starts, m_record->running = true; }
    void stop() override { m_record->running = false; }
    bool isRunning() const override { return m_record->running; }

private:
    std::shared_ptr<SourceRecord> m_record;
};

class TickTarget : public QObject {
public:
    void onTick()
    {
        ++ticks;
        if (linkToInvalidate)
            linkToInvalidate->invalidate();
    }
    int ticks = 0;
    DisplayLink* linkToInvalidate = nullptr;
};

struct Fixture {
    std::shared_ptr<SourceRecord> record = std::make_shared<SourceRecord>();
    std::unique_ptr<TickTarget> target = std::make_unique<TickTarget>();
    std::unique_ptr<DisplayLink> link = std::make_unique<DisplayLink>(
        target.get(), &TickTarget::onTick, std::make_unique<ManualTickSource>(record));
};

TEST(DisplayLink, PausingStartsAndStopsTheSourceOnlyWhenNeededAndTheFirstTickOnlyRecordsItsTime)
{
    Fixture f;
    f.link->setPaused(false);
    f.link->setPaused(false);
    EXPECT_EQ(f.record->starts, 1);
    f.record->tick(10.0, 0.02);
    EXPECT_EQ(f.target->ticks, 0);
    f.record->tick(10.5, std::nullopt);
    EXPECT_EQ(f.target->ticks, 1);
    EXPECT_EQ(f.link->timestamp(), 10.5);
    EXPECT_EQ(f.link->duration(), 0.02); // an unknown period keeps the last
    f.link->setPaused(true);
    EXPECT_FALSE(f.record->running);

    // A released target hears nothing.
    f.target.reset();
    f.record->tick(11.0);
    EXPECT_EQ(f.link->timestamp(), 10.5);
}

// Invalidation is for good, may come from a tick of the link itself, and comes with destruction.
TEST(DisplayLink, ATickMayInvalidateItsOwnLinkAndDestructionStopsTheSource)
{
    Fixture f;
    f.target->linkToInvalidate = f.link.get();
    f.link->setPaused(false);
    for (double time : {1.0, 2.0, 3.0})
        f.record->tick(time);
    EXPECT_EQ(f.target->ticks, 1);
    EXPECT_FALSE(f.link->isValid());
    f.link->setPaused(false);
    EXPECT_FALSE(f.record->running);

    Fixture g;
    g.link->setPaused(false);
    g.link.reset();
    EXPECT_FALSE(g.record->running);
    EXPECT_FALSE(g.record->handler);
}

TEST(DisplayLink, TicksTheTargetFromTheScreenTimer)
{
    TickTarget target;
    DisplayLink link(&target, &TickTarget::onTick);
    link.setPaused(false);
    ASSERT_TRUE(Tivrand::Testing::waitUntil([&] { return target.ticks >= 2; }));
    EXPECT_GT(link.duration(), 0.0);
}

} // namespace
} // namespace Lumen
