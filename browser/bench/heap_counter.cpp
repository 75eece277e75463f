#include "heap_counter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::uint64_t> allocations{0};
std::atomic<std::uint64_t> liveBytes{0};
std::atomic<std::uint64_t> peakLiveBytes{0};

// The usable size, not the requested one, so that delete, which is not
// always told the size, takes off exactly what new added.
void* CountedAllocate(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  allocations.fetch_add(1, std::memory_order_relaxed);
  const std::uint64_t live =
      liveBytes.fetch_add(malloc_usable_size(block), std::memory_order_relaxed) +
      malloc_usable_size(block);
  std::uint64_t peak = peakLiveBytes.load(std::memory_order_relaxed);
  while (live > peak && !peakLiveBytes.compare_exchange_weak(
                            peak, live, std::memory_order_relaxed)) {
  }
  return block;
}

void CountedFree(void* block) {
  if (block == nullptr) return;
  liveBytes.fetch_sub(malloc_usable_size(block), std::memory_order_relaxed);
  std::free(block);
}

}  // namespace

// libstdc++ routes the nothrow forms and the sized deletes through these.
void* operator new(std::size_t size) { return CountedAllocate(size); }
void* operator new[](std::size_t size) { return CountedAllocate(size); }
void operator delete(void* block) noexcept { CountedFree(block); }
void operator delete[](void* block) noexcept { CountedFree(block); }
void operator delete(void* block, std::size_t) noexcept { CountedFree(block); }
void operator delete[](void* block, std::size_t) noexcept { CountedFree(block); }

namespace bench {

HeapWatch::HeapWatch()
    : startAllocations_(allocations.load(std::memory_order_relaxed)),
      startLiveBytes_(liveBytes.load(std::memory_order_relaxed)) {
  peakLiveBytes.store(startLiveBytes_, std::memory_order_relaxed);
}

void HeapWatch::Report(benchmark::State& state) const {
  const auto made = static_cast<double>(
      allocations.load(std::memory_order_relaxed) - startAllocations_);
  const auto peak = static_cast<double>(
      peakLiveBytes.load(std::memory_order_relaxed) - startLiveBytes_);
  state.counters["allocs"] =
      benchmark::Counter(made, benchmark::Counter::kAvgIterations);
  state.counters["heap_peak"] = benchmark::Counter(
      peak, benchmark::Counter::kDefaults, benchmark::Counter::kIs1024);
}

}  // namespace bench
