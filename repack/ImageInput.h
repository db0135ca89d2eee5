// Images that go into a set: PNG files of every colour type and depth,
// JPEG, TGA (24 or 32 bits, plain or run-length encoded), BMP (24 or 32
// bits), and DDS files holding DXT5 blocks (taken block for block) or
// uncompressed 8-bit RGBA pixels (repack/pictures/).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "decode/Image.h"
#include "textureset/TextureSet.h"

namespace marrowix {

struct InputImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // Red, green, blue, alpha, 8 bits each, top row first; for a DDS of
    // DXT5 blocks, the blocks decoded at full precision.
    std::vector<std::uint8_t> rgba;
    // A DDS of DXT5 blocks: its blocks as they are, row of blocks after row
    // of blocks; empty otherwise.
    std::vector<std::uint8_t> dxtBlocks;
    // What the picture's format could not carry, for the report
    // ("opaque: JPEG has no alpha"); empty when nothing.
    std::string note;

    ImageView View() const { return PackedImage(rgba.data(), width, height, PixelFormat::kRgba); }
};

// Reads the image at the native path `path`, whatever its name says (but a
// TGA, which has no mark of its own, is known by its name): a PNG (16-bit
// channels narrowed by rounding, grey and palette expanded, an image without
// alpha opaque), a JPEG, a TGA, a BMP (a 32-bit one whose every byte is a
// nibble n x 16 is the preview block as Marrowix writes it, each nibble then
// widened exactly), or a DDS of DXT5 blocks or of 32-bit RGBA / BGRA pixels
// (its first level). Refused with a reason naming the file for anything else, a
// truncated or corrupt file, a size of 0 or one larger than a texture may be.
Result<InputImage> ReadInputImage(const std::string& path);

// The endings (any case) of the names pictures are taken from, as
// --replace-from, --pack and the viewer's drop look for them; PNG first.
inline constexpr const char* kPictureExtensions[] = {".png",  ".dds", ".jpg",
                                                     ".jpeg", ".tga", ".bmp"};
bool IsPictureName(const std::string& name);

class PictureBytes;
// The same of bytes at hand; `name` only tells a TGA. The reason does not
// name the file.
std::string ReadPicture(PictureBytes& bytes, const std::string& name, InputImage& image);

}  // namespace marrowix
