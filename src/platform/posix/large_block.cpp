// Backing a big block with huge pages: a fault then brings in 2 MiB instead of 4 KiB, which
// makes filling a block of hundreds of megabytes markedly cheaper.
#include <sys/mman.h>

#include <cstdint>

#include "src/platform/platform.h"

void PrepareLargeBlock(void* block, size_t bytes) {
#ifdef MADV_HUGEPAGE
    const uintptr_t kHugePage = 2u << 20;
    uintptr_t start = (reinterpret_cast<uintptr_t>(block) + kHugePage - 1) & ~(kHugePage - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(kHugePage - 1);
    if (end > start) {
        // Only advice: where the kernel declines, the block simply keeps small pages.
        madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    }
#else
    (void)block;
    (void)bytes;
#endif
}
