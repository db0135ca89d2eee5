#include "textureset/InputFile.h"

#include <cerrno>
#include <system_error>

#ifdef _WIN32
#include <filesystem>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "textureset/TextureSet.h"

namespace marrowix {
namespace {

std::string ErrnoText() {
    return std::generic_category().message(errno);
}

}  // namespace

#ifdef _WIN32

std::unique_ptr<InputFile> InputFile::Open(const std::u16string& path, std::string* error) {
    const std::filesystem::path native(std::wstring(path.begin(), path.end()));
    std::error_code ec;
    const auto status = std::filesystem::status(native, ec);
    if (std::filesystem::is_directory(status)) {
        *error = "is a directory";
        return nullptr;
    }
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        *error = "not a regular file";
        return nullptr;
    }
    std::FILE* file = _wfopen(native.c_str(), L"rb");
    if (file == nullptr) {
        *error = ErrnoText();
        return nullptr;
    }
    std::uint64_t size = 0;
    if (_fseeki64(file, 0, SEEK_END) == 0) {
        size = static_cast<std::uint64_t>(_ftelli64(file));
    }
    return std::unique_ptr<InputFile>(new InputFile(file, size, {}));
}

bool IdentifyFile(const std::string&, FileIdentity*) {
    return false;
}

std::size_t InputFile::ReadAt(std::uint64_t position, void* dst, std::size_t n) {
    if (n == 0 || position >= m_size ||
        _fseeki64(m_file, static_cast<__int64>(position), SEEK_SET) != 0) {
        return 0;
    }
    return std::fread(dst, 1, n, m_file);
}

#else

std::unique_ptr<InputFile> InputFile::Open(const std::u16string& path, std::string* error) {
    const std::string native = ToNativePath(path);
    // Non-blocking, so that a FIFO without a writer cannot hold the open;
    // the file's kind is then checked on the open descriptor itself.
    const int fd = ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = ErrnoText();
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        *error = ErrnoText();
        ::close(fd);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = S_ISDIR(st.st_mode) ? "is a directory" : "not a regular file";
        ::close(fd);
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        *error = ErrnoText();
        ::close(fd);
        return nullptr;
    }
    const FileIdentity identity{static_cast<std::uint64_t>(st.st_dev),
                                static_cast<std::uint64_t>(st.st_ino)};
    const std::uint64_t size = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    return std::unique_ptr<InputFile>(new InputFile(file, size, identity));
}

bool IdentifyFile(const std::string& nativePath, FileIdentity* identity) {
    struct stat st {};
    if (::stat(nativePath.c_str(), &st) != 0) {
        return false;
    }
    *identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return true;
}

// Positioned reads, which several threads may make on one file at once.
std::size_t InputFile::ReadAt(std::uint64_t position, void* dst, std::size_t n) {
    if (n == 0 || position >= m_size) {
        return 0;
    }
    const int fd = fileno(m_file);
    auto* out = static_cast<unsigned char*>(dst);
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fd, out + got, n - got, static_cast<off_t>(position + got));
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r <= 0) {
            break;
        }
        got += static_cast<std::size_t>(r);
    }
    return got;
}

#endif

InputFile::~InputFile() {
    std::fclose(m_file);
}

}  // namespace marrowix
