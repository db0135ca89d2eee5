// Memory for large buffers (texels, preview images, entry arrays) that is
// quick to touch the first time: where the system offers transparent huge
// pages, a buffer of 2 MiB or more is placed on huge-page boundaries and
// asks for them, so that filling it takes one page fault per 2 MiB instead
// of one per 4 KiB. Elsewhere it is ordinary memory.
#pragma once

#include <cstddef>

namespace marrowix {

// Like operator new / delete; throws std::bad_alloc.
void* AllocateLarge(std::size_t bytes);
void FreeLarge(void* p, std::size_t bytes) noexcept;

// Buffers of at least this many bytes ask for huge pages.
constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

}  // namespace marrowix
