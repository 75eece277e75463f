#include "allocation_limit.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> g_failingSize{SIZE_MAX};

}  // namespace

AllocationLimit::AllocationLimit(std::size_t bytes) { g_failingSize = bytes; }

AllocationLimit::~AllocationLimit() { g_failingSize = SIZE_MAX; }

// The array forms and the nothrow forms come down to these two.
void* operator new(std::size_t size) {
  if (size >= g_failingSize.load(std::memory_order_relaxed)) throw std::bad_alloc();
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

void operator delete(void* memory) noexcept { std::free(memory); }

void operator delete(void* memory, std::size_t /*size*/) noexcept { std::free(memory); }
