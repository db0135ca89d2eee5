// The 32-bit bottom-up preview image of one texture.
#include "textureset/PreviewImage.h"
#include "textureset/TexelAccess.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

namespace marrowix {
namespace {

// Texels read and decoded at a time: a strip that stays in the cache.
constexpr std::size_t kStripTexels = 64 * 1024;

// A row of pixels, each made from its texel by `pixel`, as little-endian
// 32-bit values: the bytes blue, green, red, alpha.
template <class Texel, class Pixel>
void StoreRow(const Texel* src, std::uint8_t* dst, std::size_t n, Pixel pixel) {
    for (std::size_t j = 0; j < n; ++j) {
        const std::uint32_t value = pixel(src[j]);
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(dst + j * 4, &value, 4);
        } else {
            for (int k = 0; k < 4; ++k) {
                dst[j * 4 + k] = static_cast<std::uint8_t>(value >> (8 * k));
            }
        }
    }
}

// An image of the entry in the preview block's form: its texels of type
// Texel (as ReadTexelRows gives them) read a strip at a time, each made a
// pixel by `pixel`; the top source row lands in the last stored row.
template <class Texel, class Pixel>
Result<Buffer<std::uint8_t>> BuildDib(const CTextureSet& set, std::size_t index, Pixel pixel) {
    Result<Buffer<std::uint8_t>> result;
    result.error = CheckEntry(set, index);
    if (!result.ok()) {
        return result;
    }
    const TextureEntry entry = set.GetEntry(index);
    const std::size_t w = static_cast<std::size_t>(entry.width);
    const std::size_t h = static_cast<std::size_t>(entry.height);

    auto outOfMemory = [&] {
        result.value = Buffer<std::uint8_t>();
        result.outOfMemory = true;
        result.error = "not enough memory for the " + std::to_string(w) + " x " +
                       std::to_string(h) + " preview";
    };
    try {
        result.value.resize(kDibHeaderSize + w * h * 4);
    } catch (const std::bad_alloc&) {
        outOfMemory();
        return result;
    }
    std::uint8_t* block = result.value.data();
    WriteDibHeader(block, entry.width, entry.height);
    if (w == 0 || h == 0) {
        return result;  // no pixels, however many rows of none
    }

    // A strip of rows at a time, read, decoded and widened while it is in
    // the cache.
    const std::size_t stripRows =
        std::clamp<std::size_t>((kStripTexels / w) & ~std::size_t{3}, 4, (h + 3) & ~std::size_t{3});
    try {
        Buffer<Texel> strip(stripRows * w);
        std::uint8_t* pixels = block + kDibHeaderSize;
        for (std::size_t first = 0; first < h; first += stripRows) {
            const std::size_t rows = std::min(stripRows, h - first);
            ReadTexelRows(set, entry, static_cast<std::uint32_t>(first),
                          static_cast<std::uint32_t>(rows), strip.data());
            for (std::size_t i = 0; i < rows; ++i) {
                StoreRow(strip.data() + i * w, pixels + (h - 1 - first - i) * w * 4, w, pixel);
            }
        }
    } catch (const std::bad_alloc&) {
        outOfMemory();
    }
    return result;
}

}  // namespace

Result<Buffer<std::uint8_t>> BuildPreviewDib(const CTextureSet& set, std::size_t index) {
    return BuildDib<std::uint16_t>(set, index, [](std::uint16_t t) { return PreviewPixelOf(t); });
}

Result<Buffer<std::uint8_t>> BuildImageDib(const CTextureSet& set, std::size_t index,
                                           Precision precision) {
    if (precision == Precision::kFull) {
        return BuildDib<std::uint32_t>(set, index, [](std::uint32_t t) { return t; });
    }
    return BuildDib<std::uint16_t>(set, index, [](std::uint16_t t) { return WidenTexel(t); });
}

}  // namespace marrowix
