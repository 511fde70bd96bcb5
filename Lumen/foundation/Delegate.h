#pragma once

#include <QObject>
#include <QPointer>

#include <concepts>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

namespace Lumen {

namespace DelegateDetail {

template <typename T>
inline constexpr bool isOptional = false;
template <typename T>
inline constexpr bool isOptional<std::optional<T>> = true;

// What a call answers: nothing for a void hook; an optional output is flattened, so "nothing
// registered" and "the closure answered nothing" read the same; any other output is wrapped.
template <typename Output>
using Answer = std::conditional_t<std::is_void_v<Output> || isOptional<Output>, Output, std::optional<Output>>;

template <typename Input, typename Result, typename... Leading>
struct FunctionOf {
    using type = std::function<Result(Leading..., const Input&)>;
};
template <typename Result, typename... Leading>
struct FunctionOf<void, Result, Leading...> {
    using type = std::function<Result(Leading...)>;
};

} // namespace DelegateDetail

// A replaceable callback slot that lets an object call back into its owner without keeping
// the owner alive. Shared by reference (hold it in a `std::shared_ptr`). Setting and calling
// may happen on different threads; a call runs on the caller's thread, outside the guard, so a
// closure replaced while it runs finishes its run and registration never waits for a call.
template <typename Input, typename Output = void>
class Delegate {
public:
    using Answer = DelegateDetail::Answer<Output>;
    using Block = typename DelegateDetail::FunctionOf<Input, Answer>::type;

    Delegate() = default;
    Delegate(const Delegate&) = delete;
    Delegate& operator=(const Delegate&) = delete;

    static std::shared_ptr<Delegate> make() { return std::make_shared<Delegate>(); }

    Block block() const
    {
        std::lock_guard lock(m_mutex);
        return m_block ? *m_block : Block();
    }

    // An empty block clears the hook.
    void setBlock(Block block)
    {
        auto stored = block ? std::make_shared<const Block>(std::move(block)) : nullptr;
        std::lock_guard lock(m_mutex);
        m_block.swap(stored);
        // The replaced closure is released after the guard, by `stored`.
    }

    bool isSet() const
    {
        std::lock_guard lock(m_mutex);
        return m_block != nullptr;
    }

    // Registers `block` with a weakly held target: the hook answers nothing, without calling
    // `block`, once the target is gone. An empty `block` still marks the hook as set.
    template <typename Target>
    void delegate(const std::shared_ptr<Target>& target,
                  typename DelegateDetail::FunctionOf<Input, Output, Target&>::type block)
    {
        setBlock(makeGuarded([weak = std::weak_ptr<Target>(target)] { return weak.lock(); },
                             std::move(block)));
    }

    // The same for a `QObject` owner, watched through a `QPointer`. The owner must be
    // destroyed on the thread that calls the hook (GUI objects and their hooks).
    template <std::derived_from<QObject> Target>
    void delegate(Target* target, typename DelegateDetail::FunctionOf<Input, Output, Target&>::type block)
    {
        setBlock(makeGuarded([watched = QPointer<Target>(target)] { return watched.data(); },
                             std::move(block)));
    }

    template <typename In = Input>
        requires(!std::is_void_v<In>)
    Answer call(const std::type_identity_t<In>& input) const
    {
        const auto stored = current();
        if (!stored)
            return Answer();
        return (*stored)(input);
    }

    template <typename In = Input>
        requires std::is_void_v<In>
    Answer call() const
    {
        const auto stored = current();
        if (!stored)
            return Answer();
        return (*stored)();
    }

    template <typename In = Input>
        requires(!std::is_void_v<In>)
    Answer operator()(const std::type_identity_t<In>& input) const
    {
        return call(input);
    }

    template <typename In = Input>
        requires std::is_void_v<In>
    Answer operator()() const
    {
        return call();
    }

private:
    std::shared_ptr<const Block> current() const
    {
        std::lock_guard lock(m_mutex);
        return m_block;
    }

    // `lockTarget` answers a pointer-like strong reference to the target, or null once it is
    // gone; it is held for the duration of the call.
    template <typename LockTarget, typename TargetBlock>
    static Block makeGuarded(LockTarget lockTarget, TargetBlock block)
    {
        if constexpr (std::is_void_v<Input>) {
            return [lockTarget = std::move(lockTarget), block = std::move(block)]() -> Answer {
                const auto target = lockTarget();
                if (!target || !block)
                    return Answer();
                return block(*target);
            };
        } else {
            return [lockTarget = std::move(lockTarget), block = std::move(block)](const Input& input) -> Answer {
                const auto target = lockTarget();
                if (!target || !block)
                    return Answer();
                return block(*target, input);
            };
        }
    }

    mutable std::mutex m_mutex;
    std::shared_ptr<const Block> m_block;
};

} // namespace Lumen
