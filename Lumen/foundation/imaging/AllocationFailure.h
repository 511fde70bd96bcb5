#pragma once

#include <new>
#include <type_traits>
#include <utility>

namespace Lumen {

// Runs a decode of untrusted data, which allocates as the data tells it. An allocation that
// fails makes the data undecodable (`failure`) rather than an exception escaping into the
// caller's queue.
template <typename Decode>
std::invoke_result_t<Decode> refusingAllocationFailure(std::invoke_result_t<Decode> failure, Decode&& decode) noexcept
{
    try {
        return std::forward<Decode>(decode)();
    } catch (const std::bad_alloc&) {
        return failure;
    }
}

} // namespace Lumen
