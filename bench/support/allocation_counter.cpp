// Allocation counting by interposition: the program's own definitions of the
// C allocation functions take precedence over the C library's, and forward to
// glibc's internal entry points. operator new and new[] are replaced too, in
// case the C++ runtime was built not to call malloc.
#include "support/allocation_counter.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <new>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
}

namespace {
std::atomic<std::uint64_t> allocations{0};
// Plain thread-local storage of the executable: reaching it allocates nothing.
thread_local std::uint64_t threadAllocations = 0;
void countOne() {
    allocations.fetch_add(1, std::memory_order_relaxed);
    ++threadAllocations;
}
}  // namespace

std::uint64_t allocationCount() { return allocations.load(std::memory_order_relaxed); }
std::uint64_t threadAllocationCount() { return threadAllocations; }

extern "C" {
void* malloc(std::size_t size) {
    countOne();
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    countOne();
    return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) {
    countOne();
    return __libc_realloc(p, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
    countOne();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    countOne();
    void* p = __libc_memalign(alignment, size);
    if (p == nullptr) return ENOMEM;
    *out = p;
    return 0;
}
}

void* operator new(std::size_t size) {
    countOne();
    if (void* p = __libc_malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, std::size_t) noexcept { free(p); }
void operator delete[](void* p, std::size_t) noexcept { free(p); }
