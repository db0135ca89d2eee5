// Writing a preview image (the block BuildPreviewDib returns) as a file. The
// image is written to a temporary file beside the target, made afresh under
// a unique name, and renamed into place within the same open folder, so a
// failure leaves nothing at the target and nothing inside the folder is
// reached through a link. A set's own files are never written.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "decode/Decode.h"
#include "decode/Image.h"
#include "imagefiles/OutputFolder.h"
#include "textureset/PreviewImage.h"
#include "textureset/TextureSet.h"

namespace marrowix {

// A 14-byte BITMAPFILEHEADER followed by the block, byte for byte, as `name`
// inside `folder`. Returns an empty string on success, otherwise the reason.
std::string WriteBmpFile(const OutputFolder& folder, const std::string& name,
                         std::span<const std::uint8_t> dib, const SetFileGuard& guard = {});

// A PNG of the block's pixels, top row first, with the fourth byte as
// alpha: meant for BuildImageDib's images, whose channels are 8-bit values
// (each nibble widened exactly, n x 17, so that an opaque texture stays
// opaque and white is white; or at full precision).
std::string WritePngFile(const OutputFolder& folder, const std::string& name,
                         std::span<const std::uint8_t> dib, const SetFileGuard& guard = {});

// The kinds of image file, and what each holds of entry `index`: a BMP the
// preview block as it is, a PNG the image at `precision` (8-bit values), a
// DDS the texture's own data (imagefiles/DdsFile.h). BuildFileImage and
// WriteImageFile make BMP and PNG files; ExportEntryImage all three.
enum class ImageFormat { kBmp, kPng, kDds };
Result<Buffer<std::uint8_t>> BuildFileImage(const CTextureSet& set, std::size_t index,
                                            ImageFormat format, Precision precision);
// Writes BuildFileImage's block as a file of `format`.
std::string WriteImageFile(const OutputFolder& folder, const std::string& name, ImageFormat format,
                           std::span<const std::uint8_t> image, const SetFileGuard& guard = {});
std::string WriteImageFile(const std::string& path, ImageFormat format,
                           std::span<const std::uint8_t> image, const SetFileGuard& guard = {});

// Writes entry `index` as `format` straight from the data file, a piece at
// a time, so that memory stays bounded whatever the texture's size or shape
// (but for the compressed output a PNG keeps until it is written): the file
// holds exactly what WriteImageFile writes of BuildFileImage's block.
// Refused as BuildFileImage refuses (CheckEntry's reason). Empty on
// success, otherwise the reason.
std::string ExportEntryImage(const OutputFolder& folder, const std::string& name,
                             const CTextureSet& set, std::size_t index, ImageFormat format,
                             Precision precision, const SetFileGuard& guard = {});
std::string ExportEntryImage(const std::string& path, const CTextureSet& set, std::size_t index,
                             ImageFormat format, Precision precision,
                             const SetFileGuard& guard = {});

// The same at a native path: its folder is opened once (links in the path
// are the user's choice), the final name is never followed.
std::string WriteBmpFile(const std::string& path, std::span<const std::uint8_t> dib,
                         const SetFileGuard& guard = {});
std::string WritePngFile(const std::string& path, std::span<const std::uint8_t> dib,
                         const SetFileGuard& guard = {});

// A PNG of an image in memory (either pixel format), with the fourth byte
// as alpha, written as the others are. The image has at least one pixel.
std::string WritePngFile(const OutputFolder& folder, const std::string& name,
                         const ImageView& image, const SetFileGuard& guard = {});
std::string WritePngFile(const std::string& path, const ImageView& image,
                         const SetFileGuard& guard = {});

}  // namespace marrowix
