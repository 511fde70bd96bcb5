#pragma once

#include <utility>

namespace Lumen {

// Lets a plain value travel where a shared object is required, e.g. a view's request
// identifier kept as an attached value. Carries no lock: its owner's thread uses it.
template<class T>
class Box {
public:
    explicit Box(T initial) : value(std::move(initial)) {}

    T value;
};

} // namespace Lumen
