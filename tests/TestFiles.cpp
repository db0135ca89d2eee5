#include "TestFiles.h"

#include "decode/Decode.h"

#include <atomic>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include <unistd.h>

namespace marrowix::test {

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    m_path = std::filesystem::temp_directory_path() /
             ("marrowix-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}

void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
    WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot read " + path.string());
    }
    std::vector<std::uint8_t> bytes(std::filesystem::file_size(path));
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

std::vector<std::uint8_t> Le32(std::initializer_list<std::uint32_t> values) {
    std::vector<std::uint8_t> out;
    for (std::uint32_t v : values) {
        for (int b = 0; b < 4; ++b) {
            out.push_back(static_cast<std::uint8_t>(v >> (8 * b)));
        }
    }
    return out;
}

std::u16string U16(const std::filesystem::path& path) {
    const std::u8string s = path.u8string();
    return FromUtf8(std::string(s.begin(), s.end()));
}

std::filesystem::path WriteSet(const TempDir& dir, const SetFiles& files) {
    const std::filesystem::path listing = dir / "world.txt";
    WriteText(listing, files.listing);
    if (!files.tableAbsent) {
        WriteBytes(dir / ("world." + files.mode + ".toc"), files.table);
    }
    if (!files.dataAbsent) {
        WriteBytes(dir / ("world." + files.mode + ".dat"), files.data);
    }
    return listing;
}

std::unique_ptr<CTextureSet> OpenSet(const std::filesystem::path& listing,
                                     const std::string& mode) {
    auto set = std::make_unique<CTextureSet>();
    OpenTextureSet(*set, U16(listing), FromUtf8(mode));
    return set;
}

Buffer<std::uint8_t> PreviewBlock(int width, int height) {
    Buffer<std::uint8_t> dib(kDibHeaderSize + std::size_t(width) * std::size_t(height) * 4);
    BITMAPINFOHEADER h{};
    h.biSize = kDibHeaderSize;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = 32;
    std::memcpy(dib.data(), &h, sizeof h);
    return dib;
}

std::string Utf8Name(const TextureEntry& entry) {
    return ToUtf8(entry.name);
}

}  // namespace marrowix::test
