// The 32-bit bottom-up preview image of one texture.
#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "decode/Decode.h"

namespace marrowix {
namespace {

void PutLe16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void PutLe32(std::uint8_t* p, std::uint32_t v) {
    PutLe16(p, v);
    PutLe16(p + 2, v >> 16);
}
std::uint32_t GetLe32(const std::uint8_t* p) {
    return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

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
            PutLe32(dst + j * 4, value);
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

void WriteDibHeader(std::uint8_t* p, std::int32_t width, std::int32_t height) {
    PutLe32(p + 0, kDibHeaderSize);                      // biSize
    PutLe32(p + 4, static_cast<std::uint32_t>(width));   // biWidth
    PutLe32(p + 8, static_cast<std::uint32_t>(height));  // biHeight: positive, bottom-up
    PutLe16(p + 12, 1);                                  // biPlanes
    PutLe16(p + 14, 32);                                 // biBitCount
    PutLe32(p + 16, 0);                                  // biCompression: BI_RGB
    PutLe32(p + 20, static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(height) * 4);
    PutLe32(p + 24, 0);  // biXPelsPerMeter
    PutLe32(p + 28, 0);  // biYPelsPerMeter
    PutLe32(p + 32, 0);  // biClrUsed
    PutLe32(p + 36, 0);  // biClrImportant
}

BITMAPINFOHEADER ReadDibHeader(std::span<const std::uint8_t> dib) {
    BITMAPINFOHEADER h{};
    if (dib.size() < kDibHeaderSize) {
        return h;
    }
    const std::uint8_t* p = dib.data();
    h.biSize = GetLe32(p);
    h.biWidth = static_cast<std::int32_t>(GetLe32(p + 4));
    h.biHeight = static_cast<std::int32_t>(GetLe32(p + 8));
    h.biPlanes = static_cast<std::uint16_t>(p[12] | (p[13] << 8));
    h.biBitCount = static_cast<std::uint16_t>(p[14] | (p[15] << 8));
    h.biCompression = GetLe32(p + 16);
    h.biSizeImage = GetLe32(p + 20);
    h.biXPelsPerMeter = static_cast<std::int32_t>(GetLe32(p + 24));
    h.biYPelsPerMeter = static_cast<std::int32_t>(GetLe32(p + 28));
    h.biClrUsed = GetLe32(p + 32);
    h.biClrImportant = GetLe32(p + 36);
    return h;
}

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
