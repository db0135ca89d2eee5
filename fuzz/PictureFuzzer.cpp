// Arbitrary bytes through the picture readers (PNG, JPEG, TGA, BMP, DDS):
// each either reads a whole picture of a texture's size or refuses it, and
// never reserves more than the bytes can hold. The first byte says whether
// the file's name is a TGA's, which has no mark of its own.
#include <cstdint>
#include <span>
#include <string>

#include "FuzzSupport.h"
#include "decode/Decode.h"
#include "repack/ImageInput.h"
#include "repack/pictures/PictureReaders.h"

using namespace marrowix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string name = (data[0] & 1) != 0 ? "picture.tga" : "picture";
    MemoryBytes bytes(std::span<const std::uint8_t>(data + 1, size - 1));
    InputImage image;
    const std::string error = ReadPicture(bytes, name, image);
    if (error.empty()) {
        MARROWIX_FUZZ_CHECK(image.width > 0 && image.height > 0);
        MARROWIX_FUZZ_CHECK(std::uint64_t{image.width} * image.height <= kMaxTexels);
        MARROWIX_FUZZ_CHECK(image.rgba.size() == std::size_t{image.width} * image.height * 4);
        MARROWIX_FUZZ_CHECK(image.dxtBlocks.empty() ||
                            image.dxtBlocks.size() == BlockDataSize(image.width, image.height));
    }
    return 0;
}
