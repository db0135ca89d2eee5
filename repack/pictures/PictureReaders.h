// The readers of the picture files a set takes textures from, each given
// the file's bytes and filling an InputImage: 8-bit red, green, blue and
// alpha, top row first. Each returns "" when it read the picture, otherwise
// why not (the file's name is added by the caller). None reserves memory
// for more pixels than the file's bytes can hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "repack/ImageInput.h"

namespace marrowix {

// A picture file's bytes, read where asked.
class PictureBytes {
public:
    virtual ~PictureBytes() = default;
    virtual std::uint64_t Size() const = 0;
    // Up to `n` bytes from `at` into `dst`; how many there were.
    virtual std::size_t ReadAt(std::uint64_t at, void* dst, std::size_t n) = 0;
};

// Bytes already in memory.
class MemoryBytes final : public PictureBytes {
public:
    explicit MemoryBytes(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    std::uint64_t Size() const override { return m_bytes.size(); }
    std::size_t ReadAt(std::uint64_t at, void* dst, std::size_t n) override;

private:
    std::span<const std::uint8_t> m_bytes;
};

std::string ReadPng(PictureBytes& file, InputImage& image);
std::string ReadDds(PictureBytes& file, InputImage& image);
std::string ReadBmp(PictureBytes& file, InputImage& image);
std::string ReadTga(PictureBytes& file, InputImage& image);
std::string ReadJpeg(PictureBytes& file, InputImage& image);

// Empty when a picture of width x height pixels can be a texture;
// otherwise why not.
std::string SizeProblem(std::uint64_t width, std::uint64_t height);

// Little-endian fields.
inline std::uint32_t Le16(const std::uint8_t* p) {
    return p[0] | (std::uint32_t{p[1]} << 8);
}
inline std::uint32_t Le32(const std::uint8_t* p) {
    return Le16(p) | (Le16(p + 2) << 16);
}

// Reserves the image's pixels; "" or why not.
std::string ReservePixels(InputImage& image, std::uint32_t width, std::uint32_t height);

}  // namespace marrowix
