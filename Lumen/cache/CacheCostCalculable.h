#pragma once

#include <concepts>
#include <cstdint>

namespace Lumen {

// A value the memory storage can hold: `cacheCost(value)`, found by argument-dependent
// lookup, is what the value counts against the storage's total cost limit.
template <typename T>
concept CacheCostCalculable = requires(const T& value) {
    { cacheCost(value) } -> std::convertible_to<std::int64_t>;
};

} // namespace Lumen
