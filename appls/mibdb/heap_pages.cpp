// Memory a build is about to write, made resident in one call per range. On the machines we
// measured, a page faulted in on first write costs several times a page made resident in bulk,
// and a large build writes thousands of fresh pages.
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "appls/mibdb/mibdb.h"

void prefault(void* data, size_t size) {
#ifdef MADV_POPULATE_WRITE
    if (!data || size == 0) return;
    // Whole pages around the range: the pages of its two ends are mapped, being part of it.
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t begin = reinterpret_cast<uintptr_t>(data) & ~(page - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size + page - 1) & ~(page - 1);
    // A kernel without it refuses the advice; the pages are then faulted in as they are written.
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)size;
#endif
}

namespace {

// Blocks up to this size come from the heap and stay there when freed.
constexpr size_t kHeapBlockMax = size_t{256} << 20;
bool heap_kept = false;

}  // namespace

void keep_freed_heap() {
    heap_kept = true;
    // Freed blocks stay in the heap, large ones too, rather than going back to the system: the
    // pages serve the allocations that follow instead of being faulted in anew.
    mallopt(M_MMAP_THRESHOLD, kHeapBlockMax);
    mallopt(M_TRIM_THRESHOLD, kHeapBlockMax);
}

void prefault_heap(size_t bytes) {
    // Without keep_freed_heap, a large block would go back to the system as soon as it is freed.
    if (!heap_kept) return;
    bytes = std::min(bytes, kHeapBlockMax / 2);
    if (bytes < (size_t{1} << 20)) return;  // not worth a call
    // Freed at once, the block joins the heap's free space that the next allocations take.
    void* block = std::malloc(bytes);
    prefault(block, bytes);
    std::free(block);
}
