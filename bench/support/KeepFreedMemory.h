// Keeps freed memory in the process for the rest of a benchmark run. Otherwise whichever contender runs
// after another gave its pages back pays the kernel for fresh ones, and the order of the runs shows in
// the numbers.
#pragma once

#include <malloc.h>

namespace BenchSupport {

inline void keepFreedMemory() {
   mallopt(M_MMAP_THRESHOLD, 32 << 20);
   mallopt(M_TRIM_THRESHOLD, 1 << 30);
}

}  // namespace BenchSupport
