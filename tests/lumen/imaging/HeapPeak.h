#pragma once

// Counts the heap bytes the process holds and the most it held since a mark, so that what a
// decode cost can be set against what the library accounted for it. Where a sanitizer owns
// the allocator the count comes through its hooks; otherwise through the allocator wrapper
// of HeapCounting.cpp, linked into the program that counts.
#include <atomic>
#include <cstddef>
#include <cstdint>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TIVRAND_SANITIZER_HEAP 1
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, std::size_t),
                                                         void (*free_hook)(const volatile void*));
extern "C" std::size_t __sanitizer_get_allocated_size(const volatile void* pointer);
#endif

namespace Tivrand::Testing::HeapPeak {

inline std::atomic<std::int64_t> held{0};
inline std::atomic<std::int64_t> peak{0};

inline void allocated(std::size_t bytes)
{
    const std::int64_t now = held.fetch_add(std::int64_t(bytes), std::memory_order_relaxed) + std::int64_t(bytes);
    for (std::int64_t seen = peak.load(std::memory_order_relaxed);
         now > seen && !peak.compare_exchange_weak(seen, now, std::memory_order_relaxed);) {
    }
}

inline void freed(std::size_t bytes)
{
    held.fetch_sub(std::int64_t(bytes), std::memory_order_relaxed);
}

// Starts counting, once per process.
inline void start()
{
#ifdef TIVRAND_SANITIZER_HEAP
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(
        [](const volatile void*, std::size_t bytes) { allocated(bytes); },
        [](const volatile void* pointer) {
            if (pointer)
                freed(__sanitizer_get_allocated_size(pointer));
        });
    (void)installed;
#endif
}

// What `work` held at most above what was held before it, heap allocations of every thread
// counted.
template <typename Work>
std::int64_t peakOf(Work&& work)
{
    start();
    const std::int64_t before = held.load();
    peak.store(before);
    work();
    return peak.load() - before;
}

} // namespace Tivrand::Testing::HeapPeak
