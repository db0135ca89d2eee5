// An image of 32-bit pixels in memory as the parts pass it to each other:
// its size, the order of its channel bytes, and its rows top row first
// whatever their order in memory (a bottom-up bitmap is seen through a
// negative stride).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <type_traits>

namespace marrowix {

// The bytes of a pixel in memory. kBgra is what bitmaps hold (0xAARRGGBB on
// a little-endian machine), kRgba what PNG files hold.
enum class PixelFormat { kBgra, kRgba };

template <class Byte>
struct BasicImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::ptrdiff_t stride = 0;  // bytes from one row to the row below it
    PixelFormat format = PixelFormat::kBgra;
    Byte* pixels = nullptr;  // the top row's first byte

    Byte* Row(std::uint32_t y) const { return pixels + static_cast<std::ptrdiff_t>(y) * stride; }
    std::size_t Texels() const { return std::size_t{width} * height; }
    bool SameSize(const BasicImage& other) const {
        return width == other.width && height == other.height;
    }
    operator BasicImage<const std::uint8_t>() const  // NOLINT: a view may always be read
        requires(!std::is_const_v<Byte>) {
        return {width, height, stride, format, pixels};
    }
};

using ImageView = BasicImage<const std::uint8_t>;
using MutableImageView = BasicImage<std::uint8_t>;

// Tightly packed rows, top row first.
template <class Byte>
BasicImage<Byte> PackedImage(Byte* pixels, std::uint32_t width, std::uint32_t height,
                             PixelFormat format) {
    return {width, height, static_cast<std::ptrdiff_t>(width) * 4, format, pixels};
}

// Whether two images are the same size and hold the same channel values,
// whatever the order of the bytes in each.
bool SamePixels(const ImageView& a, const ImageView& b);

// The pixels of a bitmap block (a 40-byte header, then bottom-up 32-bit
// rows, as BuildPreviewDib makes them): none unless the block is exactly
// such an image.
std::optional<ImageView> ViewDib(std::span<const std::uint8_t> dib);
std::optional<MutableImageView> EditDib(std::span<std::uint8_t> dib);

}  // namespace marrowix
