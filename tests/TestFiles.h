// Writing small texture sets into a temporary folder, and reading files back
// into buffers of exactly their size.
#pragma once

#include <cstdint>
#include <cstdio>
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

// fopen of a path of any name.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);
// Sets an environment variable, or removes it (`value` null).
void SetEnvironment(const char* name, const char* value);
// Makes a FIFO; false where the system has none (Windows).
bool MakeFifo(const std::filesystem::path& path);
// Whether symbolic links can be made here (wine makes none, and Windows
// only with a privilege); tests of links skip, saying so, where not.
bool LinksWork();
#define MARROWIX_SKIP_WITHOUT_LINKS()   \
    if (!::marrowix::test::LinksWork()) \
    GTEST_SKIP() << "symbolic links cannot be made on this system"
// Whether a limit of the memory a program may take holds: on Windows that
// of a job, which wine does not enforce.
bool MemoryLimitsHold();
#define MARROWIX_SKIP_WITHOUT_MEMORY_LIMITS()  \
    if (!::marrowix::test::MemoryLimitsHold()) \
    GTEST_SKIP() << "a program's memory cannot be limited here (wine)"
// The reason a test does not run on Windows, said where it skips.
#ifdef _WIN32
#define MARROWIX_SKIP_ON_WINDOWS(why) GTEST_SKIP() << "not on Windows: " << why
#else
#define MARROWIX_SKIP_ON_WINDOWS(why) static_cast<void>(0)
#endif

void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
void WriteText(const std::filesystem::path& path, const std::string& text);
std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path);

// A JPEG of the best quality of `pixels`: width x height of them, top row
// first, `components` bytes each (1: grey, 3: red, green, blue).
std::vector<std::uint8_t> JpegOf(const std::vector<std::uint8_t>& pixels, std::uint32_t width,
                                 std::uint32_t height, int components);

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
