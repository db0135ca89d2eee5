// DXT5 block decoding into packed 16-bit texels, or 32-bit texels of 8
// bits a channel.
#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "decode/BlockKernels.h"
#include "decode/Decode.h"
#include "platform/PathChoice.h"

namespace marrowix {
namespace {

// Everything a block's 16 texels are looked up in: its four colours and
// eight alphas already packed in the requested layout, so that each texel is
// one lookup into each table. The layouts keep colour and alpha in separate
// bits, so a texel is the two looked-up values combined.
struct BlockTables {
    std::array<std::uint32_t, 4> colour;
    std::array<std::uint32_t, 8> alpha;
    std::uint32_t colourIndices;
    std::uint64_t alphaIndices;
};

template <std::uint32_t Layout>
inline void MakeTables(const std::uint8_t* b, BlockTables& t, std::uint32_t layout) {
    const std::uint32_t pack = Layout != 0 ? Layout : layout;

    const Dxt5Block block = Dxt5Block::Read(b);
    const std::uint32_t a0 = block.alpha0;
    const std::uint32_t a1 = block.alpha1;
    t.alphaIndices = block.alphaIndices;
    const std::uint32_t c0 = block.colour0;
    const std::uint32_t c1 = block.colour1;
    t.colourIndices = block.colourIndices;

    const std::uint32_t r0 = Expand5(c0 >> 11);
    const std::uint32_t g0 = Expand6((c0 >> 5) & 0x3F);
    const std::uint32_t bl0 = Expand5(c0 & 0x1F);
    const std::uint32_t r1 = Expand5(c1 >> 11);
    const std::uint32_t g1 = Expand6((c1 >> 5) & 0x3F);
    const std::uint32_t bl1 = Expand5(c1 & 0x1F);

    // Four colours whatever the order of the end points: no three-colour mode.
    for (unsigned k = 0; k < 4; ++k) {
        t.colour[k] = PackTexel(pack, PaletteChannel(r0, r1, k), PaletteChannel(g0, g1, k),
                                PaletteChannel(bl0, bl1, k), 0);
    }
    for (std::uint32_t i = 0; i < 8; ++i) {
        t.alpha[i] = PackTexel(pack, 0, 0, 0, BlockAlpha(a0, a1, i));
    }
}

// Texel k of the block, as a texel of type T: only the low bits that T
// holds are stored.
template <class T>
inline T TexelOf(const BlockTables& t, unsigned k) {
    return static_cast<T>(t.colour[(t.colourIndices >> (2 * k)) & 3] |
                          t.alpha[(t.alphaIndices >> (3 * k)) & 7]);
}

// Stores the texels of a block that may reach past the image's right or
// bottom edge.
template <class T>
inline void StoreClipped(const BlockTables& t, std::uint32_t x, std::uint32_t y,
                         std::uint32_t width, std::uint32_t height, T* out) {
    for (unsigned k = 0; k < 16; ++k) {
        const std::uint32_t col = x + (k & 3);
        const std::uint32_t row = y + (k >> 2);
        if (col < width && row < height) {
            out[std::size_t{row} * width + col] = TexelOf<T>(t, k);
        }
    }
}

// Stores the texels of a block that lies wholly inside the image.
template <class T>
inline void StoreFull(const BlockTables& t, std::uint32_t x, std::uint32_t y, std::uint32_t width,
                      T* out) {
    T* row = out + std::size_t{y} * width + x;
    for (unsigned r = 0; r < 4; ++r, row += width) {
        const unsigned k = r * 4;
        row[0] = TexelOf<T>(t, k);
        row[1] = TexelOf<T>(t, k + 1);
        row[2] = TexelOf<T>(t, k + 2);
        row[3] = TexelOf<T>(t, k + 3);
    }
}

// A vector kernel for whole blocks, and the tables it looks them up in.
template <class T, class Tables>
struct Kernel {
    void (*decode)(const std::uint8_t*, std::size_t, T*, std::size_t, const Tables&) = nullptr;
    const Tables& (*tables)() = nullptr;
};
using Kernel16 = Kernel<std::uint16_t, kernels::PaletteTables>;
using Kernel32 = Kernel<std::uint32_t, kernels::PaletteTables8>;

#if MARROWIX_X86_KERNELS
bool Supports(DecodePath path) {
    switch (path) {
        case DecodePath::kScalar:
            return true;
        case DecodePath::kSse41:
            return __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("sse4.1");
        case DecodePath::kAvx2:
            return __builtin_cpu_supports("avx2");
        case DecodePath::kAvx512:
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512f") &&
                   __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
    }
    return false;
}

Kernel16 KernelOf(DecodePath path, std::uint16_t*) {
    switch (path) {
        case DecodePath::kSse41:
            return {kernels::DecodeBlocksSse41, kernels::Palettes};
        case DecodePath::kAvx2:
            return {kernels::DecodeBlocksAvx2, kernels::Palettes};
        case DecodePath::kAvx512:
            return {kernels::DecodeBlocksAvx512, kernels::Palettes};
        default:
            return {};
    }
}

Kernel32 KernelOf(DecodePath path, std::uint32_t*) {
    switch (path) {
        case DecodePath::kSse41:
            return {kernels::DecodeBlocks8Sse41, kernels::Palettes8};
        case DecodePath::kAvx2:
            return {kernels::DecodeBlocks8Avx2, kernels::Palettes8};
        case DecodePath::kAvx512:
            return {kernels::DecodeBlocks8Avx512, kernels::Palettes8};
        default:
            return {};
    }
}
#else
bool Supports(DecodePath path) {
    return path == DecodePath::kScalar;
}
Kernel16 KernelOf(DecodePath, std::uint16_t*) {
    return {};
}
Kernel32 KernelOf(DecodePath, std::uint32_t*) {
    return {};
}
#endif

constexpr DecodePath kAllPaths[] = {DecodePath::kScalar, DecodePath::kSse41, DecodePath::kAvx2,
                                    DecodePath::kAvx512};

template <std::uint32_t Layout, class T, class Tables>
void DecodeImage(std::uint32_t width, std::uint32_t height, std::span<const std::uint8_t> blocks,
                 T* out, std::uint32_t layout, Kernel<T, Tables> kernel) {
    const std::uint32_t across = static_cast<std::uint32_t>((std::uint64_t{width} + 3) / 4);
    const std::uint32_t down = static_cast<std::uint32_t>((std::uint64_t{height} + 3) / 4);
    const std::size_t whole = blocks.size() / kBlockBytes;
    std::size_t number = 0;
    BlockTables t;
    const Tables* tables = kernel.decode != nullptr ? &kernel.tables() : nullptr;
    for (std::uint32_t r = 0; r < down; ++r) {
        const std::uint32_t y = r * 4;
        const bool fullRows = height - y >= 4;
        std::uint32_t c = 0;
        if (kernel.decode != nullptr && fullRows && number < whole) {
            // The row's whole blocks that the data holds in full, at once;
            // the ragged edge and blocks past the data as below.
            const std::size_t vector = std::min<std::size_t>(width / 4, whole - number);
            kernel.decode(blocks.data() + number * kBlockBytes, vector,
                          out + std::size_t{y} * width, width, *tables);
            c = static_cast<std::uint32_t>(vector);
            number += vector;
        }
        for (; c < across; ++c, ++number) {
            const std::uint32_t x = c * 4;
            if (number < whole) {
                MakeTables<Layout>(blocks.data() + number * kBlockBytes, t, layout);
            } else {
                // Past the data given: the block's missing bytes are 0.
                std::uint8_t padded[kBlockBytes] = {};
                const std::size_t start = number * kBlockBytes;
                if (start < blocks.size()) {
                    std::memcpy(padded, blocks.data() + start, blocks.size() - start);
                }
                MakeTables<Layout>(padded, t, layout);
            }
            if (fullRows && width - x >= 4) {
                StoreFull(t, x, y, width, out);
            } else {
                StoreClipped(t, x, y, width, height, out);
            }
        }
    }
}

// A trial of a path for choosing the fastest: 1024 blocks of varied end
// points and indices, at both precisions.
void DecodeTrial(DecodePath path) {
    constexpr std::uint32_t kSide = 128;
    static const std::vector<std::uint8_t> blocks = [] {
        std::vector<std::uint8_t> b(std::size_t{kSide / 4} * (kSide / 4) * kBlockBytes);
        std::uint32_t state = 12345;
        for (std::uint8_t& byte : b) {
            state = state * 1664525u + 1013904223u;
            byte = static_cast<std::uint8_t>(state >> 24);
        }
        return b;
    }();
    static thread_local std::vector<std::uint16_t> nibbles(kSide * kSide);
    static thread_local std::vector<std::uint32_t> full(kSide * kSide);
    DecodeImage<kLayoutRgba4444>(kSide, kSide, blocks, nibbles.data(), kLayoutRgba4444,
                                 KernelOf(path, nibbles.data()));
    DecodeImage<kLayoutArgb8888>(kSide, kSide, blocks, full.data(), kLayoutArgb8888,
                                 KernelOf(path, full.data()));
}

// The paths, the one taken chosen at first use.
PathSetting<DecodePath>& Paths() {
    static PathSetting<DecodePath> paths(
        "MARROWIX_DECODE_PATH", std::vector<DecodePath>(std::begin(kAllPaths), std::end(kAllPaths)),
        Supports, DecodePathName, DecodeTrial);
    return paths;
}

}  // namespace

std::string DescribeDecodePath() {
    return Paths().Describe();
}

void DecodeBlock(const std::uint8_t* block, std::uint32_t x, std::uint32_t y, std::uint32_t width,
                 std::uint32_t height, std::uint16_t* out, std::uint32_t layout) {
    BlockTables t;
    MakeTables<0>(block, t, layout);
    StoreClipped(t, x, y, width, height, out);
}

bool DecodeBlockImage(std::uint32_t width, std::uint32_t height,
                      std::span<const std::uint8_t> blocks, std::span<std::uint16_t> out,
                      std::uint32_t layout) {
    if (std::uint64_t{width} * height > out.size()) {
        return false;
    }
    if (width == 0 || height == 0) {
        return true;
    }
    if (layout == kLayoutRgba4444) {
        DecodeImage<kLayoutRgba4444>(width, height, blocks, out.data(), layout,
                                     KernelOf(Paths().Active(), out.data()));
    } else {
        DecodeImage<0>(width, height, blocks, out.data(), layout, Kernel16());
    }
    return true;
}

bool DecodeBlockImage(std::uint32_t width, std::uint32_t height,
                      std::span<const std::uint8_t> blocks, std::span<std::uint32_t> out) {
    if (std::uint64_t{width} * height > out.size()) {
        return false;
    }
    if (width != 0 && height != 0) {
        DecodeImage<kLayoutArgb8888>(width, height, blocks, out.data(), kLayoutArgb8888,
                                     KernelOf(Paths().Active(), out.data()));
    }
    return true;
}

const char* DecodePathName(DecodePath path) {
    switch (path) {
        case DecodePath::kScalar:
            return "scalar";
        case DecodePath::kSse41:
            return "sse4.1";
        case DecodePath::kAvx2:
            return "avx2";
        case DecodePath::kAvx512:
            return "avx512";
    }
    return "?";
}

std::vector<DecodePath> AvailableDecodePaths() {
    return Paths().Available();
}

DecodePath ActiveDecodePath() {
    return Paths().Active();
}

bool ForceDecodePath(DecodePath path) {
    return Paths().Force(path);
}

}  // namespace marrowix
