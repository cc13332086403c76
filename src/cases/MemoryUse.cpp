#include "cases/MemoryUse.h"

#include <mutex>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace brindle {

void KeepLargeBlocksApart() {
#if defined(__GLIBC__)
  static std::once_flag once;
  // 256 KB: a decoded block of a few dozen variables is above it, the
  // toolkit's and the reader's everyday allocations below.
  std::call_once(once, [] { mallopt(M_MMAP_THRESHOLD, 256 * 1024); });
#endif
}

void ReturnFreedMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

}  // namespace brindle
