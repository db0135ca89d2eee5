// The header of the 32-bit bottom-up images the preview and BMP files use.
#include "decode/Decode.h"
#include "decode/Image.h"

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

template <class Byte>
std::optional<BasicImage<Byte>> ViewOf(std::span<Byte> dib) {
    const BITMAPINFOHEADER h = ReadDibHeader(dib);
    if (dib.size() < kDibHeaderSize || h.biSize != kDibHeaderSize || h.biBitCount != 32 ||
        h.biWidth < 0 || h.biHeight < 0 ||
        dib.size() - kDibHeaderSize != std::uint64_t(h.biWidth) * std::uint64_t(h.biHeight) * 4) {
        return std::nullopt;
    }
    BasicImage<Byte> view;
    view.width = static_cast<std::uint32_t>(h.biWidth);
    view.height = static_cast<std::uint32_t>(h.biHeight);
    view.stride = -static_cast<std::ptrdiff_t>(view.width) * 4;
    view.format = PixelFormat::kBgra;
    // Bottom-up: the top row is the last in memory.
    view.pixels = dib.data() + kDibHeaderSize +
                  std::size_t{view.width} * 4 * (view.height == 0 ? 0 : view.height - 1);
    return view;
}

}  // namespace

std::optional<ImageView> ViewDib(std::span<const std::uint8_t> dib) {
    return ViewOf(dib);
}

std::optional<MutableImageView> EditDib(std::span<std::uint8_t> dib) {
    return ViewOf(dib);
}

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

}  // namespace marrowix
