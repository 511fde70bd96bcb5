#include "Lumen/retrieval/CacheCallbackCoordinator.h"

#include <gtest/gtest.h>

#include <vector>

namespace Lumen {
namespace {

TEST(CacheCallbackCoordinator, ReportsOnceWhenTheAwaitedStoresHaveAnswered)
{
    using Action = CacheCallbackCoordinator::Action;
    constexpr Action started = Action::storesStarted;
    constexpr Action stored = Action::imageStored;
    constexpr Action original = Action::originalImageStored;
    const struct {
        const char* name;
        bool waitForCache;
        bool cacheOriginal;
        std::vector<Action> actions;
        int reportedBy;
    } cases[] = {
        {"at once", false, false, {started, stored}, 0},
        {"store answered first", false, false, {stored, started}, 0},
        {"waiting", true, false, {started, stored}, 1},
        {"waiting for both", true, true, {started, stored, original}, 2},
        {"original answered first", true, true, {original, started, stored}, 2},
        {"image stored before the start, original pending", false, true, {stored, started, original}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CacheCallbackCoordinator coordinator(c.waitForCache, c.cacheOriginal);
        std::vector<int> reports;
        for (int i = 0; i < static_cast<int>(c.actions.size()); ++i)
            coordinator.apply(c.actions[i], [&reports, i] { reports.push_back(i); });
        coordinator.apply(stored, [&reports] { reports.push_back(-1); });
        EXPECT_EQ(reports, std::vector<int>{c.reportedBy});
    }
}

} // namespace
} // namespace Lumen
