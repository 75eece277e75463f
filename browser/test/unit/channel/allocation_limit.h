// A replacement of the global operator new for this test program that can
// be told to fail, so that running out of memory can be tested without
// exhausting the machine's.
#pragma once

#include <cstddef>

// While an instance lives, every allocation of `bytes` or more throws
// std::bad_alloc, as it would when memory runs out.
class AllocationLimit {
 public:
  explicit AllocationLimit(std::size_t bytes);
  ~AllocationLimit();
  AllocationLimit(const AllocationLimit&) = delete;
  AllocationLimit& operator=(const AllocationLimit&) = delete;
};
