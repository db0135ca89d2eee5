#include "textureset/InputFile.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "textureset/TextureSet.h"

namespace marrowix {
namespace {

std::filesystem::path NativePath(const std::u16string& path) {
#ifdef _WIN32
    return std::filesystem::path(std::wstring(path.begin(), path.end()));
#else
    std::string utf8 = ToUtf8(path);
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
#endif
}

bool Seek(std::FILE* file, std::uint64_t position) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<__int64>(position), SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}

}  // namespace

std::unique_ptr<InputFile> InputFile::Open(const std::u16string& path, std::string* error) {
    const std::filesystem::path native = NativePath(path);
    std::error_code ec;
    if (std::filesystem::is_directory(native, ec)) {
        *error = "is a directory";
        return nullptr;
    }
#ifdef _WIN32
    std::FILE* file = _wfopen(native.c_str(), L"rb");
#else
    std::FILE* file = std::fopen(native.c_str(), "rb");
#endif
    if (file == nullptr) {
        *error = std::generic_category().message(errno);
        return nullptr;
    }
    std::uint64_t size = 0;
#ifdef _WIN32
    if (_fseeki64(file, 0, SEEK_END) == 0) {
        size = static_cast<std::uint64_t>(_ftelli64(file));
    }
#else
    if (fseeko(file, 0, SEEK_END) == 0) {
        const off_t end = ftello(file);
        size = end > 0 ? static_cast<std::uint64_t>(end) : 0;
    }
#endif
    return std::unique_ptr<InputFile>(new InputFile(file, size));
}

InputFile::~InputFile() {
    std::fclose(m_file);
}

std::size_t InputFile::ReadAt(std::uint64_t position, void* dst, std::size_t n) {
    if (n == 0 || position >= m_size || !Seek(m_file, position)) {
        return 0;
    }
    return std::fread(dst, 1, n, m_file);
}

}  // namespace marrowix
