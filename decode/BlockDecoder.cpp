// DXT5 block decoding into packed 16-bit texels.
#include <array>
#include <cstring>

#include "decode/Decode.h"

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

    const std::uint32_t a0 = b[0];
    const std::uint32_t a1 = b[1];
    // Bytes 2-7: a 16-bit part followed by a 32-bit part, 3 bits a texel.
    t.alphaIndices = std::uint64_t{b[2]} | (std::uint64_t{b[3]} << 8) |
                     (std::uint64_t{b[4]} << 16) | (std::uint64_t{b[5]} << 24) |
                     (std::uint64_t{b[6]} << 32) | (std::uint64_t{b[7]} << 40);
    const std::uint32_t c0 = b[8] | (std::uint32_t{b[9]} << 8);
    const std::uint32_t c1 = b[10] | (std::uint32_t{b[11]} << 8);
    t.colourIndices = b[12] | (std::uint32_t{b[13]} << 8) | (std::uint32_t{b[14]} << 16) |
                      (std::uint32_t{b[15]} << 24);

    const std::uint32_t r0 = Expand5(c0 >> 11);
    const std::uint32_t g0 = Expand6((c0 >> 5) & 0x3F);
    const std::uint32_t bl0 = Expand5(c0 & 0x1F);
    const std::uint32_t r1 = Expand5(c1 >> 11);
    const std::uint32_t g1 = Expand6((c1 >> 5) & 0x3F);
    const std::uint32_t bl1 = Expand5(c1 & 0x1F);

    // Four colours whatever the order of the end points: no three-colour mode.
    t.colour[0] = PackTexel(pack, r0, g0, bl0, 0);
    t.colour[1] = PackTexel(pack, r1, g1, bl1, 0);
    t.colour[2] = PackTexel(pack, (2 * r0 + r1) / 3, (2 * g0 + g1) / 3, (2 * bl0 + bl1) / 3, 0);
    t.colour[3] = PackTexel(pack, (r0 + 2 * r1) / 3, (g0 + 2 * g1) / 3, (bl0 + 2 * bl1) / 3, 0);

    // Both ramps are worked out and one is kept, with no branch on the order
    // of the end points.
    std::array<std::uint32_t, 8> alpha{};
    alpha[0] = a0;
    alpha[1] = a1;
    const bool eightLevels = a0 > a1;
    for (std::uint32_t i = 2; i < 8; ++i) {
        const std::uint32_t eight = ((8 - i) * a0 + (i - 1) * a1) / 7;
        const std::uint32_t six = i < 6 ? ((6 - i) * a0 + (i - 1) * a1) / 5 : (i == 6 ? 0 : 255);
        alpha[i] = eightLevels ? eight : six;
    }
    for (std::size_t i = 0; i < 8; ++i) {
        t.alpha[i] = PackTexel(pack, 0, 0, 0, alpha[i]);
    }
}

inline std::uint16_t TexelOf(const BlockTables& t, unsigned k) {
    return static_cast<std::uint16_t>(t.colour[(t.colourIndices >> (2 * k)) & 3] |
                                      t.alpha[(t.alphaIndices >> (3 * k)) & 7]);
}

// Stores the texels of a block that may reach past the image's right or
// bottom edge.
inline void StoreClipped(const BlockTables& t, std::uint32_t x, std::uint32_t y,
                         std::uint32_t width, std::uint32_t height, std::uint16_t* out) {
    for (unsigned k = 0; k < 16; ++k) {
        const std::uint32_t col = x + (k & 3);
        const std::uint32_t row = y + (k >> 2);
        if (col < width && row < height) {
            out[std::size_t{row} * width + col] = TexelOf(t, k);
        }
    }
}

// Stores the texels of a block that lies wholly inside the image.
inline void StoreFull(const BlockTables& t, std::uint32_t x, std::uint32_t y, std::uint32_t width,
                      std::uint16_t* out) {
    std::uint16_t* row = out + std::size_t{y} * width + x;
    for (unsigned r = 0; r < 4; ++r, row += width) {
        const unsigned k = r * 4;
        row[0] = TexelOf(t, k);
        row[1] = TexelOf(t, k + 1);
        row[2] = TexelOf(t, k + 2);
        row[3] = TexelOf(t, k + 3);
    }
}

template <std::uint32_t Layout>
void DecodeImage(std::uint32_t width, std::uint32_t height, std::span<const std::uint8_t> blocks,
                 std::uint16_t* out, std::uint32_t layout) {
    const std::uint32_t across = static_cast<std::uint32_t>((std::uint64_t{width} + 3) / 4);
    const std::uint32_t down = static_cast<std::uint32_t>((std::uint64_t{height} + 3) / 4);
    const std::size_t whole = blocks.size() / kBlockBytes;
    std::size_t number = 0;
    BlockTables t;
    for (std::uint32_t r = 0; r < down; ++r) {
        const std::uint32_t y = r * 4;
        const bool fullRows = height - y >= 4;
        for (std::uint32_t c = 0; c < across; ++c, ++number) {
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

}  // namespace

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
        DecodeImage<kLayoutRgba4444>(width, height, blocks, out.data(), layout);
    } else {
        DecodeImage<0>(width, height, blocks, out.data(), layout);
    }
    return true;
}

}  // namespace marrowix
