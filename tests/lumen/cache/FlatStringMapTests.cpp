#include "Lumen/cache/FlatStringMap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <map>

namespace {

using Lumen::FlatStringMap;

// Every key hashes to one of the last three slots, so each probe collides and wraps round:
// after each random store or removal, every key answers what a plain map holds.
TEST(FlatStringMap, AgreesWithAPlainMapUnderCollidingWrappingHashes)
{
    constexpr int keyCount = 40;
    const auto hashOf = [](int id) { return std::numeric_limits<std::size_t>::max() - std::size_t(id % 3); };
    const auto valueOf = [](const auto* value) { return value ? *value : -1; };
    FlatStringMap<int> map;
    std::map<int, int> expected;
    std::uint32_t state = 1;
    const auto next = [&] { return (state = state * 1664525u + 1013904223u) >> 8; };
    for (int step = 0; step < 3000; ++step) {
        const int id = int(next() % keyCount);
        const int before = expected.contains(id) ? expected[id] : -1;
        if (next() % 3) {
            EXPECT_EQ(valueOf(map.insertOrAssign(QString::number(id), hashOf(id), std::make_unique<int>(step)).get()), before);
            expected[id] = step;
        } else {
            EXPECT_EQ(valueOf(map.take(QString::number(id), hashOf(id)).get()), before);
            expected.erase(id);
        }
        for (int other = 0; other < keyCount; ++other) {
            ASSERT_EQ(valueOf(map.find(QString::number(other), hashOf(other))),
                      expected.contains(other) ? expected[other] : -1)
                << "step " << step << ", key " << other;
        }
    }
}

} // namespace
