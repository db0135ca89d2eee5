// Pixels of one entry read straight from its data file, a band of rows at a
// time, for writers that take an image piece by piece: memory stays
// bounded whatever the texture's size or shape.
#pragma once

#include <cstdint>

#include "decode/Decode.h"
#include "textureset/TextureSet.h"

namespace marrowix {

// What a pixel holds, 0xAARRGGBB: the preview block's bytes (each nibble n
// as n x 16), each nibble widened exactly (n x 17), or the texels at full
// precision as ReadTexelRows gives them at 8 bits.
enum class PixelForm { kPreview, kNibbles, kFull };

// Pixels asked of a reader at a time, at most.
constexpr std::uint32_t kPixelPieceMax = 1 << 16;

// One reader a thread: the band a request falls in is read and decoded
// once and kept for the requests after it, so rows asked in order (down or
// up) cost one read a band.
class EntryPixelReader {
public:
    // The entry's size must be one CheckEntrySize accepts.
    EntryPixelReader(const CTextureSet& set, const TextureEntry& entry, PixelForm form);

    // Pixels x to x + count - 1 of row y (top row 0), count at most
    // kPixelPieceMax; valid until the next call.
    const std::uint32_t* Pixels(std::uint32_t y, std::uint32_t x, std::uint32_t count);

private:
    void Load(std::uint32_t bandY, std::uint32_t x, std::uint32_t count);

    const CTextureSet& m_set;
    TextureEntry m_entry;
    PixelForm m_form;
    std::uint32_t m_width;
    std::uint32_t m_height;
    std::uint32_t m_bandRows;
    bool m_loaded = false;
    std::uint32_t m_bandY = 0;
    std::uint32_t m_bandX = 0;
    std::uint32_t m_bandWidth = 0;
    Buffer<std::uint32_t> m_pixels;
    Buffer<std::uint16_t> m_nibbles;
};

}  // namespace marrowix
