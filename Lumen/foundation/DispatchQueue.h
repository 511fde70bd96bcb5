#pragma once

#include "Lumen/foundation/DispatchBlock.h"
#include "Lumen/foundation/DispatchClock.h"

#include <QString>

#include <concepts>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

namespace Lumen {

class DispatchWorkItem;

enum class DispatchError {
    // The main queue was asked to run a block while no application event loop exists, or
    // the loop discarded the block on shutdown.
    mainLoopUnavailable,
};

// Where blocks run. Three kinds, all made by the factories below:
// - serial queues: a strand over the shared thread pool; blocks run one at a time, in
//   submission order, on pool threads;
// - the shared concurrent queue (`global()`): blocks run on pool threads in parallel;
// - the main queue: blocks run on the GUI thread's event loop, in submission order.
// Submitted and delayed work keeps its queue alive until it has run.
class DispatchQueue : public std::enable_shared_from_this<DispatchQueue> {
public:
    using Duration = DispatchClock::Duration;

    virtual ~DispatchQueue() = default;
    DispatchQueue(const DispatchQueue&) = delete;
    DispatchQueue& operator=(const DispatchQueue&) = delete;

    static std::shared_ptr<DispatchQueue> makeSerial(
        QString label, std::shared_ptr<DispatchClock> clock = DispatchClock::system());
    static std::shared_ptr<DispatchQueue> global();
    static std::shared_ptr<DispatchQueue> main();
    // A main-queue adapter whose delayed work follows `clock`; immediate work shares the order
    // of `main()`.
    static std::shared_ptr<DispatchQueue> makeMain(std::shared_ptr<DispatchClock> clock);

    const QString& label() const { return m_label; }
    const std::shared_ptr<DispatchClock>& clock() const { return m_clock; }

    // True when the calling code runs on this queue: inside one of its blocks (including
    // blocks reached from it through `sync`), or for the main queue on the GUI thread.
    virtual bool isCurrent() const = 0;

    virtual void async(DispatchBlock block) = 0;
    void async(std::shared_ptr<DispatchWorkItem> item);
    void asyncAfter(Duration delay, DispatchBlock block);
    void asyncAfter(Duration delay, std::shared_ptr<DispatchWorkItem> item);

    // Runs `block` with this queue's exclusivity and waits for its result. Serial and
    // concurrent queues run it on the calling thread (after the serial queue's earlier
    // blocks); the main queue runs it on the GUI thread. Calling `sync` from a block already
    // running on the same queue runs the block at once instead of deadlocking. Serial and
    // concurrent queues never need a free pool thread for `sync`, so pool threads may call it.
    template <std::invocable F>
    [[nodiscard]] auto sync(F&& block) -> std::expected<std::invoke_result_t<F&>, DispatchError>;

protected:
    DispatchQueue(QString label, std::shared_ptr<DispatchClock> clock);

    using SyncBody = void (*)(void* context);
    virtual std::expected<void, DispatchError> runSync(SyncBody body, void* context) = 0;

private:
    QString m_label;
    std::shared_ptr<DispatchClock> m_clock;
};

template <std::invocable F>
auto DispatchQueue::sync(F&& block) -> std::expected<std::invoke_result_t<F&>, DispatchError>
{
    using Result = std::invoke_result_t<F&>;
    using Block = std::remove_reference_t<F>;
    static_assert(!std::is_reference_v<Result>, "sync blocks answer values");

    if constexpr (std::is_void_v<Result>) {
        return runSync([](void* context) { std::invoke(*static_cast<Block*>(context)); },
                       std::addressof(block));
    } else {
        struct Context {
            Block& block;
            std::optional<Result> result;
        } context{block, std::nullopt};
        const auto status = runSync(
            [](void* raw) {
                auto& ctx = *static_cast<Context*>(raw);
                ctx.result.emplace(std::invoke(ctx.block));
            },
            &context);
        if (!status)
            return std::unexpected(status.error());
        return std::move(*context.result);
    }
}

} // namespace Lumen
