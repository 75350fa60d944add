// How the benchmarks treat glibc's heap, so that one contender's frees are not paid inside another's (or
// its own next) timed run.
#pragma once

#include <malloc.h>

#include <cstdlib>

#include <benchmark/benchmark.h>

namespace BenchSupport {

// Keeps freed memory in the process for the rest of a benchmark run. Otherwise whichever contender runs
// after another gave its pages back pays the kernel for fresh ones, and the order of the runs shows in
// the numbers.
inline void keepFreedMemory() {
   mallopt(M_MMAP_THRESHOLD, 32 << 20);
   mallopt(M_TRIM_THRESHOLD, 1 << 30);
}

// Merges the heap's free chunks now, with the clock stopped: a model of many small objects freed before
// a timed run would otherwise be merged inside that run's allocations. A large request makes the
// allocator merge; unlike malloc_trim it gives no page back, so nobody pays for fresh ones.
inline void settleHeap() {
   void* p = std::malloc(std::size_t(1) << 20);
   benchmark::DoNotOptimize(p);
   std::free(p);
}

}  // namespace BenchSupport
