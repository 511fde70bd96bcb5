#pragma once

namespace Lumen {

// How many times an animated image view plays its animation.
class AnimatedImageRepeatCount {
public:
    enum class Kind { finite, once, infinite };

    static AnimatedImageRepeatCount finite(unsigned count) { return {Kind::finite, count}; }
    static AnimatedImageRepeatCount once() { return {Kind::once, 1}; }
    static AnimatedImageRepeatCount infinite() { return {Kind::infinite, 0}; }

    Kind kind() const { return m_kind; }
    // The count of a `finite` value; 0 for the others.
    unsigned count() const { return m_kind == Kind::finite ? m_count : 0; }

    // Whether `loops` played loops reach the limit; never for `infinite`.
    bool isReached(unsigned loops) const { return m_kind != Kind::infinite && loops >= m_count; }

    // `finite(1)` and `once` stop alike but are different values.
    bool operator==(const AnimatedImageRepeatCount& other) const
    {
        return m_kind == other.m_kind && count() == other.count();
    }

private:
    AnimatedImageRepeatCount(Kind kind, unsigned count) : m_kind(kind), m_count(count) {}

    Kind m_kind;
    unsigned m_count;
};

} // namespace Lumen
