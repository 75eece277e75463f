// Heap use of the benchmarked code, counted by the bench program's own
// global operator new and delete. Only C++ allocations are seen; memory
// that C libraries take with malloc (the data-protection service's blobs)
// is not.
#pragma once

#include <cstdint>

#include <benchmark/benchmark.h>

namespace bench {

// Measures the allocations and the peak live heap between its construction
// and Report(). Single-threaded benchmarks only: the peak is shared by the
// whole process.
class HeapWatch {
 public:
  HeapWatch();

  // Adds the counters "allocs" (allocations per iteration) and "heap_peak"
  // (the most bytes live at once beyond those live at construction).
  void Report(benchmark::State& state) const;

 private:
  std::uint64_t startAllocations_;
  std::uint64_t startLiveBytes_;
};

}  // namespace bench
