// The benchmarks' counting allocator: a program that links it has every operator new and delete of the
// process, the library's included, counted (allocations made, and the usable bytes of the blocks still
// live). Counting is two relaxed atomic additions and malloc_usable_size per call, paid alike by the
// library and by whatever baseline runs beside it: per call, so a model that allocates more pays more of
// it. A benchmark that times such models against each other turns counting off around its timed runs.
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

// Turns counting on or off (it starts on). While it is off, blocks are neither counted in nor out, so a
// block made on one side of a switch and freed on the other skews the live bytes: switch only where
// every block made since the last switch has been freed.
void countHeap(bool on) noexcept;

}  // namespace BenchSupport
