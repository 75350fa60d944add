// The benchmarks' counting allocator: a program that links it has every operator new and delete of the
// process, the library's included, counted (allocations made, and the usable bytes of the blocks still
// live). Counting is two relaxed atomic additions and malloc_usable_size per call, paid alike by the
// library and by whatever baseline runs beside it.
#pragma once

#include <cstdint>

namespace BenchSupport {

struct HeapCount {
   std::int64_t allocations = 0;  // operator new calls so far
   std::int64_t liveBytes = 0;    // usable bytes of the blocks not yet deleted

   friend HeapCount operator-(HeapCount const& a, HeapCount const& b) noexcept {
      return {a.allocations - b.allocations, a.liveBytes - b.liveBytes};
   }
};

// The counts now. Take two and subtract: what lies between them is what the code between them did.
HeapCount heapCount() noexcept;

}  // namespace BenchSupport
