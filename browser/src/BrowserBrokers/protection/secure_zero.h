// Zero-filling of memory that is about to be given back, in a way the
// optimiser can't drop as a dead store.
#pragma once

#include <cstddef>
#include <cstring>

namespace browser_extensions {

inline void SecureZero(void* data, std::size_t size) {
  if (size == 0) return;
  std::memset(data, 0, size);
  // Tells the compiler the zeroed memory may still be read, so the stores
  // stay even when the memory is freed right afterwards.
  __asm__ __volatile__("" : : "r"(data) : "memory");
}

}  // namespace browser_extensions
