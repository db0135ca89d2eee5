#include "textureset/LargeBuffers.h"

#include <mutex>
#include <new>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace marrowix {

#if defined(__linux__)
namespace {

std::size_t RoundUp(std::size_t bytes) {
    return (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
}

// Regions given back are kept for the next buffer of the same size, up to
// this much in all, so that showing one texture after another of like size
// touches pages that are already there.
constexpr std::size_t kKeptBytes = std::size_t{512} << 20;

struct Kept {
    std::mutex lock;
    std::vector<std::pair<void*, std::size_t>> regions;
    std::size_t bytes = 0;
};

Kept& KeptRegions() {
    static Kept* kept = new Kept;  // lives to the end of the process
    return *kept;
}

// A fresh region on huge-page boundaries that asks for huge pages.
void* MapRegion(std::size_t size) {
    const std::size_t mapped = size + kHugePageBytes;
    void* p = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        throw std::bad_alloc();
    }
    const auto start = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t aligned = (start + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    if (aligned > start) {
        munmap(p, aligned - start);
    }
    const std::uintptr_t end = start + mapped;
    if (end > aligned + size) {
        munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
    }
    // Advice only: where it is not taken the memory is as good.
    madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

}  // namespace

void* AllocateLarge(std::size_t bytes) {
    if (bytes < kHugePageBytes) {
        return ::operator new(bytes);
    }
    if (bytes > (~std::size_t{0} >> 2)) {
        throw std::bad_alloc();
    }
    const std::size_t size = RoundUp(bytes);
    {
        Kept& kept = KeptRegions();
        std::lock_guard<std::mutex> hold(kept.lock);
        for (auto it = kept.regions.begin(); it != kept.regions.end(); ++it) {
            if (it->second == size) {
                void* p = it->first;
                kept.bytes -= size;
                kept.regions.erase(it);
                return p;
            }
        }
    }
    return MapRegion(size);
}

void FreeLarge(void* p, std::size_t bytes) noexcept {
    if (p == nullptr) {
        return;
    }
    if (bytes < kHugePageBytes) {
        ::operator delete(p);
        return;
    }
    const std::size_t size = RoundUp(bytes);
    if (size > kKeptBytes) {
        munmap(p, size);
        return;
    }
    // The newest region is kept; the oldest go back to the system to make
    // room for it, as the newest is the likeliest to be asked for again.
    std::vector<std::pair<void*, std::size_t>> given;
    {
        Kept& kept = KeptRegions();
        std::lock_guard<std::mutex> hold(kept.lock);
        try {
            kept.regions.emplace_back(p, size);
            kept.bytes += size;
        } catch (...) {
            given.emplace_back(p, size);  // no room to note it: give it back
        }
        std::size_t oldest = 0;
        while (kept.bytes > kKeptBytes && oldest < kept.regions.size()) {
            kept.bytes -= kept.regions[oldest].second;
            munmap(kept.regions[oldest].first, kept.regions[oldest].second);
            ++oldest;
        }
        kept.regions.erase(kept.regions.begin(),
                           kept.regions.begin() + static_cast<std::ptrdiff_t>(oldest));
    }
    for (const auto& [region, regionSize] : given) {
        munmap(region, regionSize);
    }
}

#else

void* AllocateLarge(std::size_t bytes) {
    return ::operator new(bytes);
}

void FreeLarge(void* p, std::size_t) noexcept {
    ::operator delete(p);
}

#endif

}  // namespace marrowix
