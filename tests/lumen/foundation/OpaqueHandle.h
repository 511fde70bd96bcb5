#pragma once

#include <cstddef>
#include <memory>

namespace Lumen::Testing {

// A distinct, never dereferenced shared handle of a type that is only declared so far, for
// tests of code that merely carries such objects around and compares them.
template <typename T>
std::shared_ptr<T> opaqueHandle()
{
    auto owner = std::make_shared<std::max_align_t>();
    return std::shared_ptr<T>(owner, reinterpret_cast<T*>(owner.get()));
}

} // namespace Lumen::Testing
