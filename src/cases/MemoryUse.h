// Keeping the memory the data page frees from staying with the process.
//
// The page makes and drops arrays of many megabytes (a sort's keys and
// order, the find's marks, decoded blocks as the cache turns over). glibc's
// allocator raises its threshold for serving large blocks from the system
// each time such a block is freed, after which blocks of up to 32 MB come
// from its own heaps and stay there when freed: the resident size grew by
// the sort arrays after every sort. A fixed threshold keeps every large
// block a mapping of its own, unmapped when freed; what small allocations
// leave behind is handed back after each large piece of work.
#pragma once

namespace brindle {

// Fixes the allocator's threshold for large blocks (once per process;
// nothing where the C library is not glibc).
void KeepLargeBlocksApart();
// Returns freed heap pages to the system (nothing where the C library is
// not glibc). Takes a few milliseconds; not for the window's thread.
void ReturnFreedMemory();

}  // namespace brindle
