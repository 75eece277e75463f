// The stand-in library's own operator new and delete: every block that its
// code gives back is zero-filled before the C runtime gets it, so the
// texts a stand-in copies, builds and parses (arguments, record lines,
// answers, scripts) leave nothing behind in freed memory. Only what the
// library keeps on purpose, such as saved credentials, stays.
//
// A stand-in links the C++ runtime statically and hides it, so its code
// never reaches the host's operator new and delete: it needs its own. Both
// take their blocks from malloc, so a block allocated on one side and freed
// on the other (where the C++ runtime is shared, as in sanitizer builds) is
// still sound. The over-aligned forms keep the runtime's own: no stand-in
// type needs more than malloc's alignment.
#include <cstdlib>
#include <new>

#include "common/heap_block_size.h"
#include "protection/secure_zero.h"

namespace {

void* AllocateOrThrow(std::size_t size) {
  for (;;) {
    if (void* block = std::malloc(size != 0 ? size : 1)) return block;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

void* AllocateOrNull(std::size_t size) noexcept {
  try {
    return AllocateOrThrow(size);
  } catch (...) {
    return nullptr;
  }
}

void WipeAndFree(void* block) noexcept {
  if (block == nullptr) return;
  browser_extensions::SecureZero(block, standins::HeapBlockSize(block));
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size); }

void operator delete(void* block) noexcept { WipeAndFree(block); }
void operator delete[](void* block) noexcept { WipeAndFree(block); }
void operator delete(void* block, std::size_t) noexcept { WipeAndFree(block); }
void operator delete[](void* block, std::size_t) noexcept { WipeAndFree(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { WipeAndFree(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { WipeAndFree(block); }
