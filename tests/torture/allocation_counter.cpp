#include "tests/torture/allocation_counter.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

#include "tests/support/address_sanitizer.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<long> counted{0};

inline void note() {
    if (counting.load(std::memory_order_relaxed)) counted.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

#if ORV_TEST_ADDRESS_SANITIZER

// The sanitizer runtime's hook interface (declared here: GCC ships no header for it).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, std::size_t),
                                                         void (*onFree)(const volatile void*));

namespace {
void onMalloc(const volatile void*, std::size_t) { note(); }
void onFree(const volatile void*) {}
const bool hooksInstalled = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree) != 0;
}  // namespace

#else

// The C library's own entry points; the replacements below forward to them.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);

void* malloc(std::size_t size) {
    note();
    return __libc_malloc(size);
}
void* calloc(std::size_t n, std::size_t size) {
    note();
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t size) {
    note();
    return __libc_realloc(p, size);
}
void free(void* p) { __libc_free(p); }
void* memalign(std::size_t align, std::size_t size) {
    note();
    return __libc_memalign(align, size);
}
void* aligned_alloc(std::size_t align, std::size_t size) {
    note();
    return __libc_memalign(align, size);
}
int posix_memalign(void** out, std::size_t align, std::size_t size) {
    note();
    void* p = __libc_memalign(align, size);
    if (!p) return 12;  // ENOMEM
    *out = p;
    return 0;
}
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size) {
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new(std::size_t size, std::align_val_t align) {
    void* p = nullptr;
    if (posix_memalign(&p, static_cast<std::size_t>(align), size ? size : 1) == 0) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t align) { return operator new(size, align); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

#endif

namespace torture {

void startCountingAllocations() {
    counted.store(0);
    counting.store(true);
}

long stopCountingAllocations() {
    counting.store(false);
    return counted.load();
}

bool allocationCountingWorks() {
    startCountingAllocations();
    void* volatile p = std::malloc(24);
    int* volatile q = new int(3);
    const long seen = stopCountingAllocations();
    std::free(p);
    delete q;
    return seen >= 2;
}

}  // namespace torture
