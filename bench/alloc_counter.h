// Counts heap allocations of the whole process, the library's included.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wendrake_bench {

struct HeapStats {
  uint64_t allocations;  // calls that allocated, since start
  int64_t liveBytes;     // bytes allocated and not yet freed
  int64_t peakBytes;     // highest liveBytes since the last ResetPeak
};

HeapStats Heap();
void ResetPeak();

}  // namespace wendrake_bench
