#include <malloc.h>

#include "common/heap_block_size.h"

namespace standins {

std::size_t HeapBlockSize(void* block) { return malloc_usable_size(block); }

}  // namespace standins
