#include "repack/ImageInput.h"

#include <cstring>
#include <memory>
#include <new>

#include "repack/pictures/PictureReaders.h"
#include "textureset/DisplayText.h"
#include "textureset/InputFile.h"

namespace marrowix {
namespace {

// A file's bytes, read where asked.
class FileBytes final : public PictureBytes {
public:
    explicit FileBytes(InputFile& file) : m_file(file) {}
    std::uint64_t Size() const override { return m_file.Size(); }
    std::size_t ReadAt(std::uint64_t at, void* dst, std::size_t n) override {
        return m_file.ReadAt(at, dst, n);
    }

private:
    InputFile& m_file;
};

// The kinds of file taken for pictures that cannot be read, by their first
// bytes, so that a refusal names what the file is.
const char* OtherKind(const std::uint8_t* magic, std::size_t got) {
    auto starts = [&](const char* text, std::size_t n) {
        return got >= n && std::memcmp(magic, text, n) == 0;
    };
    return starts("GIF8", 4)                                                          ? "GIF"
           : starts("II*\0", 4) || starts("MM\0*", 4)                                 ? "TIFF"
           : starts("RIFF", 4) && got >= 12 && std::memcmp(magic + 8, "WEBP", 4) == 0 ? "WebP"
           : starts("8BPS", 4)                                                        ? "Photoshop"
           : starts("\x76\x2f\x31\x01", 4)                                            ? "OpenEXR"
           : starts("#?RA", 4)    ? "Radiance HDR"
           : starts("\xABKTX", 4) ? "KTX"
                                  : nullptr;
}

}  // namespace

bool IsPictureName(const std::string& name) {
    for (const char* extension : kPictureExtensions) {
        if (EndsWithNoCase(name, extension)) {
            return true;
        }
    }
    return false;
}

std::size_t MemoryBytes::ReadAt(std::uint64_t at, void* dst, std::size_t n) {
    if (at >= m_bytes.size()) {
        return 0;
    }
    const std::size_t got = std::min<std::uint64_t>(n, m_bytes.size() - at);
    std::memcpy(dst, m_bytes.data() + at, got);
    return got;
}

std::string SizeProblem(std::uint64_t width, std::uint64_t height) {
    if (width == 0 || height == 0) {
        return "its size is " + std::to_string(width) + " x " + std::to_string(height);
    }
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF || width * height > kMaxTexels) {
        return "its size " + std::to_string(width) + " x " + std::to_string(height) +
               " is too large for a texture (at most " + std::to_string(kMaxTexels) + " texels)";
    }
    return {};
}

std::string ReservePixels(InputImage& image, std::uint32_t width, std::uint32_t height) {
    try {
        image.rgba.resize(std::size_t{width} * height * 4);
    } catch (const std::bad_alloc&) {
        return "not enough memory for its " + std::to_string(width) + " x " +
               std::to_string(height) + " pixels";
    }
    return {};
}

std::string ReadPicture(PictureBytes& bytes, const std::string& name, InputImage& image) {
    std::uint8_t magic[16] = {};
    const std::size_t got = bytes.ReadAt(0, magic, sizeof magic);
    auto starts = [&](const char* text, std::size_t n) {
        return got >= n && std::memcmp(magic, text, n) == 0;
    };
    if (starts("\x89PNG\r\n\x1a\n", 8)) {
        return ReadPng(bytes, image);
    }
    if (starts("DDS ", 4)) {
        return ReadDds(bytes, image);
    }
    if (starts("BM", 2)) {
        return ReadBmp(bytes, image);
    }
    if (starts("\xFF\xD8\xFF", 3)) {
        return ReadJpeg(bytes, image);
    }
    // TGA files have no mark of their own at the start: known by name.
    if (EndsWithNoCase(name, ".tga")) {
        return ReadTga(bytes, image);
    }
    const char* kind = OtherKind(magic, got);
    return std::string(kind != nullptr ? std::string("a ") + kind + " file, " : "") +
           "not a picture that can be read (PNG, JPEG, TGA, BMP and DDS files are)";
}

Result<InputImage> ReadInputImage(const std::string& path) {
    Result<InputImage> result;
    auto fail = [&](const std::string& why) {
        result.value = InputImage{};
        result.error = "'" + DisplayPath(path) + "': " + why;
        return result;
    };
    // Regular files only, opened without blocking: a FIFO or a device at an
    // image's path is refused by name rather than waited on.
    std::string openError;
    const std::unique_ptr<InputFile> file = InputFile::Open(FromNativePath(path), &openError);
    if (!file) {
        return fail(openError == "is a directory"       ? "a folder, not an image file"
                    : openError == "not a regular file" ? "not a regular file (a FIFO, a device "
                                                          "or a socket); images are read only "
                                                          "from files"
                                                        : openError);
    }
    FileBytes bytes(*file);
    const std::string error = ReadPicture(bytes, path, result.value);
    return error.empty() ? result : fail(error);
}

}  // namespace marrowix
