#include <malloc.h>

#include "common/heap_block_size.h"

namespace standins {

std::size_t HeapBlockSize(void* block) { return _msize(block); }

}  // namespace standins
