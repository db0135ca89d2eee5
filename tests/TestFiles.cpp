#include "tests/TestFiles.h"

#include "decode/Decode.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>

#include <jpeglib.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "platform/Files.h"

namespace marrowix::test {

TempDir::TempDir() {
    // Process ids are reused (quickly under wine): a random part too.
    static std::atomic<int> counter{0};
    static const unsigned salt =
        std::random_device{}() ^
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
    m_path = std::filesystem::temp_directory_path() /
             ("marrowix-test-" + std::to_string(platform::ProcessId()) + "-" +
              std::to_string(salt % 100000) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
}

TempDir::~TempDir() {
    // Everything writable first: read-only files cannot be removed on Windows.
    std::error_code ec;
    const auto all = std::filesystem::perms::owner_all;
    const auto add = std::filesystem::perm_options::add;
    std::filesystem::permissions(m_path, all, add, ec);
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_symlink(ec)) {
            std::filesystem::permissions(it->path(), all, add, ec);
        }
    }
    ec.clear();
    std::filesystem::remove_all(m_path, ec);
}

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
    const std::string m(mode);
    return _wfopen(path.c_str(), std::wstring(m.begin(), m.end()).c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

void SetEnvironment(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value != nullptr ? value : "");
#else
    value != nullptr ? setenv(name, value, 1) : unsetenv(name);
#endif
}

bool LinksWork() {
    static const bool work = [] {
        TempDir dir;
        std::error_code ec;
        std::filesystem::create_symlink("target", dir / "link", ec);
        return !ec;
    }();
    return work;
}

bool MemoryLimitsHold() {
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr;
#else
    return true;
#endif
}

bool MakeFifo(const std::filesystem::path& path) {
#ifdef _WIN32
    (void)path;
    return false;
#else
    return ::mkfifo(path.c_str(), 0600) == 0;
#endif
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

std::vector<std::uint8_t> JpegOf(const std::vector<std::uint8_t>& pixels, std::uint32_t width,
                                 std::uint32_t height, int components) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < height) {
        auto* row = const_cast<JSAMPLE*>(pixels.data() +
                                         std::size_t{info.next_scanline} * width * components);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<std::uint8_t> bytes(out, out + size);
    jpeg_destroy_compress(&info);
    std::free(out);
    return bytes;
}

}  // namespace marrowix::test
