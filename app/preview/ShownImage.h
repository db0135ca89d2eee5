// An image the preview paints: the block it came in (a preview block, see
// ViewDib), its pixels seen top row first, and the smaller levels made of
// them when the view zooms out. The preview holds two: its own, and the
// split view's other one.
#pragma once

#include <QImage>
#include <QRgb>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

#include "app/preview/PreviewMips.h"
#include "decode/Image.h"
#include "textureset/SetTypes.h"

namespace marrowix {

class ShownImage {
public:
    // Takes `dib` when it is a whole image of at least one pixel (and, when
    // `size` is given, of that size); otherwise holds nothing. Either way
    // the levels made before go.
    bool Take(Buffer<std::uint8_t> dib, const ImageView* size = nullptr) {
        const std::optional<ImageView> view = ViewDib(dib);
        const bool usable = view && view->width > 0 && view->height > 0 &&
                            (size == nullptr || view->SameSize(*size));
        m_dib = usable ? std::move(dib) : Buffer<std::uint8_t>();
        m_pixels = usable ? *view : ImageView{};  // the pixels stay where they are when moved
        m_mips.Clear();
        return usable;
    }
    void Clear() { Take({}); }

    bool Empty() const { return m_pixels.pixels == nullptr; }
    const ImageView& Pixels() const { return m_pixels; }
    int Width() const { return static_cast<int>(m_pixels.width); }
    int Height() const { return static_cast<int>(m_pixels.height); }
    // Row y (top row 0) as 0xAARRGGBB values.
    const QRgb* Row(int y) const {
        return reinterpret_cast<const QRgb*>(m_pixels.Row(static_cast<std::uint32_t>(y)));
    }
    PreviewMips& Mips() { return m_mips; }
    // A copy of the pixels, top row first (ARGB32, not premultiplied); null
    // when there are none or no memory for them.
    QImage Copy() const {
        if (Empty()) {
            return {};
        }
        QImage image(Width(), Height(), QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {  // no rows when it is null
            std::memcpy(image.scanLine(y), Row(y), std::size_t(image.width()) * 4);
        }
        return image;
    }

private:
    Buffer<std::uint8_t> m_dib;
    ImageView m_pixels;
    PreviewMips m_mips;
};

}  // namespace marrowix
