// The allocator wrapper behind HeapPeak.h where no sanitizer owns the allocator: every
// allocation function of the C library, forwarded to its own implementation and counted by
// what the allocator really handed out.
#include "tests/lumen/imaging/HeapPeak.h"

#ifndef TIVRAND_SANITIZER_HEAP

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <malloc.h>
#include <unistd.h>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* pointer);
}

namespace {

using Tivrand::Testing::HeapPeak::allocated;
using Tivrand::Testing::HeapPeak::freed;

void* counted(void* pointer)
{
    if (pointer)
        allocated(malloc_usable_size(pointer));
    return pointer;
}

} // namespace

extern "C" {

void* malloc(std::size_t size)
{
    return counted(__libc_malloc(size));
}

void* calloc(std::size_t count, std::size_t size)
{
    return counted(__libc_calloc(count, size));
}

void free(void* pointer)
{
    if (pointer)
        freed(malloc_usable_size(pointer));
    __libc_free(pointer);
}

void* realloc(void* pointer, std::size_t size)
{
    const std::size_t before = pointer ? malloc_usable_size(pointer) : 0;
    void* const moved = __libc_realloc(pointer, size);
    // A failed reallocation keeps the old block; one to no size at all frees it.
    if (moved || size == 0)
        freed(before);
    return counted(moved);
}

void* memalign(std::size_t alignment, std::size_t size)
{
    return counted(__libc_memalign(alignment, size));
}

void* aligned_alloc(std::size_t alignment, std::size_t size)
{
    return memalign(alignment, size);
}

int posix_memalign(void** result, std::size_t alignment, std::size_t size)
{
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    void* const pointer = memalign(alignment, size);
    if (!pointer && size != 0)
        return ENOMEM;
    *result = pointer;
    return 0;
}

void* valloc(std::size_t size)
{
    return memalign(std::size_t(::sysconf(_SC_PAGESIZE)), size);
}

void* pvalloc(std::size_t size)
{
    const auto page = std::size_t(::sysconf(_SC_PAGESIZE));
    return memalign(page, (size + page - 1) / page * page);
}

} // extern "C"

#endif
