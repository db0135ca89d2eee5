// Process-wide memory tuning for the programs (not the core).
//
// A preview of a large texture takes fresh buffers of tens of megabytes, and
// the C library hands such buffers to and from the system each time, so
// every selection pays again for mapping and clearing its pages. The
// programs ask the C library to keep freed memory instead, so the next
// texture of like size reuses pages that are already there.
#pragma once

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace marrowix {

inline void KeepFreedMemoryForReuse() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_MAX, 0);                // large blocks from the heap, not one mapping each
    mallopt(M_TRIM_THRESHOLD, 512 << 20);  // give back only what exceeds 512 MiB
#endif
}

}  // namespace marrowix
