#include "app/MemoryRoom.h"

#include <cstdint>
#include <cstdlib>

namespace marrowix {

bool RoomFor(std::size_t bytes) {
    // Called through a pointer the compiler cannot see through, so that the
    // question is really asked. Never touched, so only the address space is
    // taken for a moment: the limit that runs out first.
    static void* (*volatile const allocate)(std::size_t) = std::malloc;
    void* probe = allocate(bytes);
    std::free(probe);
    return probe != nullptr;
}

std::size_t TexturesThatFit(std::size_t count) {
    for (std::size_t n = count;; n /= 2) {
        if (n <= (SIZE_MAX - kSpareBytes) / kTreeBytesPerTexture &&
            RoomFor(kSpareBytes + n * kTreeBytesPerTexture)) {
            return n;
        }
        if (n == 0) {
            return 0;
        }
    }
}

}  // namespace marrowix
