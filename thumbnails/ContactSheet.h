// A contact sheet: the thumbnails of many textures with their names, in one
// image, for reports and build pipelines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "decode/Image.h"
#include "textureset/TextureSet.h"

namespace marrowix {

struct ContactSheet {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> rgba;  // red, green, blue, alpha; top row first

    ImageView Image() const { return PackedImage(rgba.data(), width, height, PixelFormat::kRgba); }
};

// What a sheet is drawn on, and what each cell says under its thumbnail.
struct SheetStyle {
    // The viewer's checkerboard (thumbnails/Checker.h), or one colour.
    bool checker = true;
    std::uint32_t background = 0xFFFFFF;  // 0xRRGGBB, where not checker
    enum class Labels { kName, kNameAndSize, kNone };
    Labels labels = Labels::kName;
};

// The thumbnails (full precision, within size x size, small textures grown by
// whole factors) of `entries`, `columns` a row, each over the background
// (alpha blended onto it, so the sheet is opaque) with its name (and size)
// under it, dark on a light background and light on a dark one, and a red
// corner on entries a check would report for their size or data. Refused,
// with the reason, when the sheet would pass kMaxTexels pixels or memory
// runs out. Thumbnails are made on every core.
Result<ContactSheet> MakeContactSheet(const CTextureSet& set,
                                      const std::vector<std::size_t>& entries, std::uint32_t size,
                                      std::uint32_t columns, const SheetStyle& style = {});

}  // namespace marrowix
