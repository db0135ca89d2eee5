// Inside the block decoder: the vector kernels for whole blocks of the
// layouts 0x4444 and 0x8888, and the tables they look a block's palette up
// in.
//
// A block's colours depend on its two end points channel by channel, and its
// alphas on its two alpha end points, so each kernel looks them up rather
// than working them out: the tables are made once from the very arithmetic
// of the scalar decoder (PaletteChannel, BlockAlpha), which keeps every path
// bit for bit the same. Per block the lookups give a 16-byte table: the low
// bytes of its four colours, their high bytes, and its eight alpha nibbles;
// the kernels then pick each texel's bytes out of it with byte shuffles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace marrowix::kernels {

struct PaletteTables {
    // Byte k of each entry: palette entry k's channel, as it stands in the
    // texel's high byte (red << 4, green) or low byte (blue << 4).
    std::uint32_t red[32 * 32];    // [red field of colour 0][of colour 1], nibble << 4
    std::uint32_t green[64 * 64];  // nibble
    std::uint32_t blue[32 * 32];   // nibble << 4
    // Byte i: the alpha nibble of index i; [alpha 0 | alpha 1 << 8].
    std::uint64_t alpha[256 * 256];
};

// The same for texels of 8 bits a channel (the layout 0x8888): byte k of
// each colour entry is palette entry k's channel, byte i of each alpha entry
// the alpha of index i.
struct PaletteTables8 {
    std::uint32_t red[32 * 32];
    std::uint32_t green[64 * 64];
    std::uint32_t blue[32 * 32];
    std::uint64_t alpha[256 * 256];
};

// Made on first use; safe to call from any thread.
const PaletteTables& Palettes();
const PaletteTables8& Palettes8();

// Each kernel is built for its own processor features, so what they share
// has internal linkage: no copy built for one processor can stand in for
// another's.
namespace {

// A block's 16-byte table, as two 64-bit halves: bytes 0-3 the low bytes of
// its four colours, 4-7 their high bytes; bytes 8-15 its alpha nibbles.
struct BlockTable {
    std::uint64_t colours;
    std::uint64_t alphas;
};

// A block's two colour end points, read as one 32-bit value: the AVX-512
// kernel keeps four blocks' values at once, and a 16-bit value spilled to
// the stack and read back as 32 bits would wait for the store to finish.
inline std::uint32_t EndPoints(const std::uint8_t* b) {
    std::uint32_t ends;
    std::memcpy(&ends, b + 8, 4);
    return ends;  // little-endian: colour 0 in the low half
}

inline BlockTable LookUpBlock(const std::uint8_t* b, const PaletteTables& t) {
    const std::uint32_t ends = EndPoints(b);
    const std::uint32_t c0 = ends & 0xFFFF;
    const std::uint32_t c1 = ends >> 16;
    const std::uint32_t high =
        t.red[((c0 >> 11) << 5) | (c1 >> 11)] | t.green[(((c0 >> 5) & 63) << 6) | ((c1 >> 5) & 63)];
    const std::uint32_t low = t.blue[((c0 & 31) << 5) | (c1 & 31)];
    return {low | (std::uint64_t{high} << 32), t.alpha[b[0] | (std::uint32_t{b[1]} << 8)]};
}

// A block's tables for 8-bit texels: bytes 0-3 its colours' blue, 4-7
// their green, 8-11 their red; bytes 0-7 of `alphas` its eight alphas.
struct BlockTable8 {
    std::uint64_t blueGreen;
    std::uint64_t red;
    std::uint64_t alphas;
};

inline BlockTable8 LookUpBlock8(const std::uint8_t* b, const PaletteTables8& t) {
    const std::uint32_t ends = EndPoints(b);
    const std::uint32_t c0 = ends & 0xFFFF;
    const std::uint32_t c1 = ends >> 16;
    const std::uint64_t green = t.green[(((c0 >> 5) & 63) << 6) | ((c1 >> 5) & 63)];
    return {t.blue[((c0 & 31) << 5) | (c1 & 31)] | (green << 32),
            t.red[((c0 >> 11) << 5) | (c1 >> 11)], t.alpha[b[0] | (std::uint32_t{b[1]} << 8)]};
}

}  // namespace

// Decode `count` whole blocks that follow each other in one row of blocks
// into the 4 x 4 texel squares at `out`, `out + 4`, ...; image rows lie
// `stride` texels apart. Each needs the processor feature in its name.
void DecodeBlocksSse41(const std::uint8_t* blocks, std::size_t count, std::uint16_t* out,
                       std::size_t stride, const PaletteTables& tables);
void DecodeBlocksAvx2(const std::uint8_t* blocks, std::size_t count, std::uint16_t* out,
                      std::size_t stride, const PaletteTables& tables);
void DecodeBlocksAvx512(const std::uint8_t* blocks, std::size_t count, std::uint16_t* out,
                        std::size_t stride, const PaletteTables& tables);

// The same into texels of 8 bits a channel, 0xAARRGGBB.
void DecodeBlocks8Sse41(const std::uint8_t* blocks, std::size_t count, std::uint32_t* out,
                        std::size_t stride, const PaletteTables8& tables);
void DecodeBlocks8Avx2(const std::uint8_t* blocks, std::size_t count, std::uint32_t* out,
                       std::size_t stride, const PaletteTables8& tables);
void DecodeBlocks8Avx512(const std::uint8_t* blocks, std::size_t count, std::uint32_t* out,
                         std::size_t stride, const PaletteTables8& tables);

}  // namespace marrowix::kernels
