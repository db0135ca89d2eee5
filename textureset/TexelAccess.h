// A texture's texels read from its set's data file: whole, by rows or by
// rectangles, at 4 or 8 bits a channel; and where one texel comes from.
#pragma once

#include <cstdint>
#include <vector>

#include "textureset/TextureSet.h"

namespace marrowix {

// One texture's texels as RGBA4444, width x height of them, top row first.
// Texels the data file does not hold (absent file, data ending early) are 0.
Result<Buffer<std::uint16_t>> ReadTexels(const CTextureSet& set, const TextureEntry& entry);

// Rows firstRow to firstRow + rows - 1 of the same texels into `out` (rows x
// width texels), reading only the data they come from. For "dxt", firstRow
// is a multiple of 4. The entry's size must be one CheckEntrySize accepts.
// Returns false when the data file did not deliver every byte asked of it
// (absent, ending early, or a read that failed); those texels are as above.
bool ReadTexelRows(const CTextureSet& set, const TextureEntry& entry, std::uint32_t firstRow,
                   std::uint32_t rows, std::uint16_t* out);

// The same rows at 8 bits a channel, 0xAARRGGBB: for "dxt" the blocks
// decoded at full precision, for "etc" each nibble widened exactly (n x 17).
bool ReadTexelRows(const CTextureSet& set, const TextureEntry& entry, std::uint32_t firstRow,
                   std::uint32_t rows, std::uint32_t* out);

// A rectangle of the texels: `columns` from firstColumn in each of `rows`
// rows from firstRow, into `out` (rows x columns texels), so that a wide
// texture can be read in pieces of bounded size. For "dxt", firstRow and
// firstColumn are multiples of 4. Returns as ReadTexelRows does.
bool ReadTexelRegion(const CTextureSet& set, const TextureEntry& entry, std::uint32_t firstRow,
                     std::uint32_t rows, std::uint32_t firstColumn, std::uint32_t columns,
                     std::uint16_t* out);
bool ReadTexelRegion(const CTextureSet& set, const TextureEntry& entry, std::uint32_t firstRow,
                     std::uint32_t rows, std::uint32_t firstColumn, std::uint32_t columns,
                     std::uint32_t* out);

// `n` bytes of the entry's data as the data file holds them, from `at`
// bytes after its header, into `out`; the bytes it does not hold are 0.
// Returns how many it held.
std::size_t ReadEntryData(const CTextureSet& set, const TextureEntry& entry, std::uint64_t at,
                          std::uint8_t* out, std::size_t n);

// Where one texel of an entry comes from in the data file.
struct TexelLocation {
    std::uint16_t texel = 0;          // RGBA4444, as ReadTexels gives it
    std::uint32_t full = 0;           // 0xAARRGGBB at full precision
    std::uint64_t offset = 0;         // first byte of the stretch it is decoded from
    std::uint32_t size = 0;           // 2 for "etc", 16 (its block) for "dxt"
    std::vector<std::uint8_t> bytes;  // what the data file holds of the stretch
    bool hasBlock = false;            // "dxt": the fields below are set
    std::uint32_t blockColumn = 0;
    std::uint32_t blockRow = 0;
    std::uint8_t alpha0 = 0;
    std::uint8_t alpha1 = 0;
    std::uint16_t colour0 = 0;  // raw 5:6:5
    std::uint16_t colour1 = 0;
    std::uint8_t colourIndex = 0;  // 0-3
    std::uint8_t alphaIndex = 0;   // 0-7
};

// Texel (x, y) of entry `index`, x from the left and y from the top row,
// with its source; or why there is none (no such entry, a refused size, a
// texel outside the texture). Reads only the texel's own stretch.
Result<TexelLocation> LocateTexel(const CTextureSet& set, std::size_t index, std::uint32_t x,
                                  std::uint32_t y);

}  // namespace marrowix
