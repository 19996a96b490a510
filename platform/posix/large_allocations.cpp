#include <malloc.h>

#include "platform/large_allocations.h"

namespace tsl {

// glibc raises its mapping threshold to the size of each mapped block freed, up to 32 MiB,
// and then serves such blocks from a heap that keeps freed memory: a block list read and
// dropped would stay in the process until it ends. A fixed threshold keeps them mapped.
void GiveLargeBuffersTheirOwnPages() { mallopt(M_MMAP_THRESHOLD, 1 << 20); }

}  // namespace tsl
