// Writing small texture sets into a temporary folder, and reading files back
// into buffers of exactly their size.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "textureset/TextureSet.h"

// Builds with AddressSanitizer reserve more address space than any memory
// limit a test sets, so such tests do not run there.
#if defined(__SANITIZE_ADDRESS__)
#define MARROWIX_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MARROWIX_ASAN 1
#endif
#endif

namespace marrowix::test {

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
void WriteText(const std::filesystem::path& path, const std::string& text);
std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path);

// Little-endian 32-bit values, one after another.
std::vector<std::uint8_t> Le32(std::initializer_list<std::uint32_t> values);

std::u16string U16(const std::filesystem::path& path);

// A set on disk: <dir>/world.txt with the given listing, and for `mode` an
// offset table and data file, each left out when `absent`.
struct SetFiles {
    std::string listing;
    std::vector<std::uint8_t> table;
    std::vector<std::uint8_t> data;
    std::string mode = "dxt";
    bool tableAbsent = false;
    bool dataAbsent = false;
};
std::filesystem::path WriteSet(const TempDir& dir, const SetFiles& files);

// Opens the set at `listing` in `mode`.
std::unique_ptr<CTextureSet> OpenSet(const std::filesystem::path& listing,
                                     const std::string& mode = "dxt");

std::string Utf8Name(const TextureEntry& entry);

// A preview block of width x height pixels: its header written, its pixels
// left for the caller (untouched, so that a huge one costs no memory).
Buffer<std::uint8_t> PreviewBlock(int width, int height);

}  // namespace marrowix::test
