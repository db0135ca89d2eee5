// Texel decoding: DXT5 blocks to 16-bit texels, and 16-bit texels to a
// 32-bit bottom-up device-independent bitmap for display.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace marrowix {

// Texel layout codes; the hexadecimal digits give the channel widths.
constexpr std::uint32_t kLayoutRgba4444 = 0x4444;
constexpr std::uint32_t kLayoutRgb565 = 0x565;
constexpr std::uint32_t kLayoutBgr888 = 0x888;
constexpr std::uint32_t kLayoutArgb8888 = 0x8888;

constexpr std::size_t kBlockBytes = 16;

// A DXT5 block's 16 bytes as their fields: the two alpha end points and 48
// bits of alpha indices (3 a texel), the two 5:6:5 colour end points and 32
// bits of colour indices (2 a texel), texel k of the 4 x 4 square (rows top
// first) at bit 3k and 2k. The vector kernels read the same fields in
// their registers.
struct Dxt5Block {
    std::uint8_t alpha0 = 0;
    std::uint8_t alpha1 = 0;
    std::uint64_t alphaIndices = 0;
    std::uint16_t colour0 = 0;
    std::uint16_t colour1 = 0;
    std::uint32_t colourIndices = 0;

    // Written as one expression a field, which compilers make single loads.
    static constexpr Dxt5Block Read(const std::uint8_t* b) {
        Dxt5Block block;
        block.alpha0 = b[0];
        block.alpha1 = b[1];
        block.alphaIndices = std::uint64_t{b[2]} | std::uint64_t{b[3]} << 8 |
                             std::uint64_t{b[4]} << 16 | std::uint64_t{b[5]} << 24 |
                             std::uint64_t{b[6]} << 32 | std::uint64_t{b[7]} << 40;
        block.colour0 = static_cast<std::uint16_t>(b[8] | b[9] << 8);
        block.colour1 = static_cast<std::uint16_t>(b[10] | b[11] << 8);
        block.colourIndices = std::uint32_t{b[12]} | std::uint32_t{b[13]} << 8 |
                              std::uint32_t{b[14]} << 16 | std::uint32_t{b[15]} << 24;
        return block;
    }
    constexpr unsigned AlphaIndex(unsigned k) const {
        return static_cast<unsigned>(alphaIndices >> (3 * k)) & 7;
    }
    constexpr unsigned ColourIndex(unsigned k) const { return (colourIndices >> (2 * k)) & 3; }
};

// Widen a 5-bit or 6-bit channel to 8 bits. The formulas define the result
// (Expand5(20) is 164, Expand6(53) is 214), not rounding.
constexpr std::uint32_t Expand5(std::uint32_t v) {
    const std::uint32_t t = v * 255 + 16;
    return (t + (t >> 5)) >> 5;
}
constexpr std::uint32_t Expand6(std::uint32_t v) {
    const std::uint32_t t = v * 255 + 32;
    return (t + (t >> 6)) >> 6;
}

// Channel value of palette entry k (0-3) of a block from its two widened end
// points: the end points themselves, then the two thirds between them,
// truncated.
constexpr std::uint32_t PaletteChannel(std::uint32_t e0, std::uint32_t e1, unsigned k) {
    switch (k) {
        case 0:
            return e0;
        case 1:
            return e1;
        case 2:
            return (2 * e0 + e1) / 3;
        default:
            return (e0 + 2 * e1) / 3;
    }
}

// Alpha of index i (0-7) from a block's end points: eight levels when
// a0 > a1, otherwise six levels with 0 and 255 for indices 6 and 7.
constexpr std::uint32_t BlockAlpha(std::uint32_t a0, std::uint32_t a1, std::uint32_t i) {
    if (i < 2) {
        return i == 0 ? a0 : a1;
    }
    if (a0 > a1) {
        return ((8 - i) * a0 + (i - 1) * a1) / 7;
    }
    return i < 6 ? ((6 - i) * a0 + (i - 1) * a1) / 5 : (i == 6 ? 0 : 255);
}

// Packs 8-bit channels into a texel of the given layout. Any code other than
// the four above gives 1:5:5:5 with the top bit set for a non-zero alpha.
constexpr std::uint32_t PackTexel(std::uint32_t layout, std::uint32_t r, std::uint32_t g,
                                  std::uint32_t b, std::uint32_t a) {
    switch (layout) {
        case kLayoutRgba4444:
            return ((r >> 4) << 12) | ((g >> 4) << 8) | ((b >> 4) << 4) | (a >> 4);
        case kLayoutRgb565:
            return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
        case kLayoutBgr888:
            return (b << 16) | (g << 8) | r;
        case kLayoutArgb8888:
            return (a << 24) | (r << 16) | (g << 8) | b;
        default:
            return (a != 0 ? 1u << 15 : 0u) | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    }
}

// Bytes of blocks an image of the given size is stored in.
constexpr std::uint64_t BlockDataSize(std::uint32_t width, std::uint32_t height) {
    return ((std::uint64_t{width} + 3) / 4) * ((std::uint64_t{height} + 3) / 4) * kBlockBytes;
}

// Decodes one 16-byte block whose top-left texel is at (x, y) into `out`, an
// image of width x height texels; texels outside the image are dropped. Only
// the low 16 bits of each packed texel are stored.
void DecodeBlock(const std::uint8_t* block, std::uint32_t x, std::uint32_t y, std::uint32_t width,
                 std::uint32_t height, std::uint16_t* out, std::uint32_t layout);

// Decodes the blocks of a width x height image, row of blocks after row of
// blocks. Blocks that `blocks` does not hold in full decode as if their
// missing bytes were 0. Returns false, writing nothing, when `out` holds
// fewer than width x height texels. The layout 0x4444 takes the fastest
// path the processor has (see BlockKernels.h); every path gives the same
// texels.
bool DecodeBlockImage(std::uint32_t width, std::uint32_t height,
                      std::span<const std::uint8_t> blocks, std::span<std::uint16_t> out,
                      std::uint32_t layout);

// The same at full precision: each texel 0xAARRGGBB (the layout 0x8888),
// 8 bits a channel, by the very arithmetic of the 16-bit decode but without
// packing to 4 bits. Takes the fastest path the processor has too.
bool DecodeBlockImage(std::uint32_t width, std::uint32_t height,
                      std::span<const std::uint8_t> blocks, std::span<std::uint32_t> out);

// Ways DecodeBlockImage can decode whole blocks of the layouts 0x4444 and
// 0x8888: the scalar reference, and vector paths for processors that have
// them.
enum class DecodePath { kScalar, kSse41, kAvx2, kAvx512 };

const char* DecodePathName(DecodePath path);  // "scalar", "sse4.1", "avx2", "avx512"
// The paths this processor can run, the scalar one first.
std::vector<DecodePath> AvailableDecodePaths();
// The path DecodeBlockImage takes: the fastest available one on a short
// trial at first use, unless another is forced (also by the environment
// variable MARROWIX_DECODE_PATH naming one; a value that names no path this
// processor runs is told on stderr with the ones it could name). Forcing a
// path the processor lacks is refused.
DecodePath ActiveDecodePath();
bool ForceDecodePath(DecodePath path);
// The path and how it was chosen: "avx2 (fastest on a trial of sse4.1,
// avx2, avx512)".
std::string DescribeDecodePath();

// The header of a device-independent bitmap, in the platform's field layout.
// Stored little-endian whatever the host.
struct BITMAPINFOHEADER {
    std::uint32_t biSize;
    std::int32_t biWidth;
    std::int32_t biHeight;
    std::uint16_t biPlanes;
    std::uint16_t biBitCount;
    std::uint32_t biCompression;
    std::uint32_t biSizeImage;
    std::int32_t biXPelsPerMeter;
    std::int32_t biYPelsPerMeter;
    std::uint32_t biClrUsed;
    std::uint32_t biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER must be 40 bytes");

constexpr std::size_t kDibHeaderSize = sizeof(BITMAPINFOHEADER);

// A channel byte of the preview block (a nibble n in the high half, n x 16)
// widened exactly to 8 bits: n x 17, so that 0 stays 0 and 15 becomes 255.
// What PNG files and copied images hold; the preview block itself keeps
// n x 16.
constexpr std::uint8_t ExactFromPreviewByte(std::uint8_t byte) {
    return static_cast<std::uint8_t>(byte | (byte >> 4));
}

// One RGBA4444 texel as the preview block holds it, each nibble n as the
// byte n x 16: 0xAARRGGBB, the bytes blue, green, red, alpha in memory.
constexpr std::uint32_t PreviewPixelOf(std::uint32_t texel) {
    return (texel & 0xF0u) | ((texel << 4) & 0xF000u) | ((texel << 8) & 0xF00000u) |
           ((texel & 0x0Fu) << 28);
}

// Writes the 40-byte header of a bottom-up 32-bit image of width x height
// pixels, as BuildPreviewDib's block starts, at `p`.
void WriteDibHeader(std::uint8_t* p, std::int32_t width, std::int32_t height);

// Reads the header at the start of a block made by BuildPreviewDib.
BITMAPINFOHEADER ReadDibHeader(std::span<const std::uint8_t> dib);

// How exactly an image holds a texture's channels: the RGBA4444 nibbles, or
// for "dxt" the full precision of its blocks (for "etc" the same nibbles).
enum class Precision { kNibbles, kFull };

}  // namespace marrowix
