#include "support/CountingAllocator.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::int64_t> allocations{0};
std::atomic<std::int64_t> liveBytes{0};
std::atomic<bool> counting{true};

void* counted(std::size_t n) {
   void* p = std::malloc(n ? n : 1);
   if (!p) throw std::bad_alloc();
   if (!counting.load(std::memory_order_relaxed)) return p;
   allocations.fetch_add(1, std::memory_order_relaxed);
   liveBytes.fetch_add(std::int64_t(malloc_usable_size(p)), std::memory_order_relaxed);
   return p;
}

void uncounted(void* p) noexcept {
   if (!p) return;
   if (!counting.load(std::memory_order_relaxed)) return std::free(p);
   liveBytes.fetch_sub(std::int64_t(malloc_usable_size(p)), std::memory_order_relaxed);
   std::free(p);
}

}  // namespace

namespace BenchSupport {

HeapCount heapCount() noexcept {
   return {allocations.load(std::memory_order_relaxed), liveBytes.load(std::memory_order_relaxed)};
}

void countHeap(bool on) noexcept {
   counting.store(on, std::memory_order_relaxed);
}

}  // namespace BenchSupport

// The standard library's other forms (nothrow, and the aligned ones' absence of counting on both sides)
// end in these or in malloc and free directly, so every counted block is also uncounted.
void* operator new(std::size_t n) {
   return counted(n);
}
void* operator new[](std::size_t n) {
   return counted(n);
}
void operator delete(void* p) noexcept {
   uncounted(p);
}
void operator delete[](void* p) noexcept {
   uncounted(p);
}
void operator delete(void* p, std::size_t) noexcept {
   uncounted(p);
}
void operator delete[](void* p, std::size_t) noexcept {
   uncounted(p);
}
