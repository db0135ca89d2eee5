#include "textureset/InputFile.h"

#include <system_error>

#include "textureset/TextureSet.h"

namespace marrowix {

std::unique_ptr<InputFile> InputFile::Open(const std::u16string& path, std::string* error) {
    platform::File file;
    platform::Kind kind = platform::Kind::kOther;
    FileIdentity identity;
    std::uint64_t size = 0;
    int code = platform::File::OpenForReading(ToNativePath(path), &file, &kind);
    if (code == 0 && kind != platform::Kind::kFile) {
        *error = kind == platform::Kind::kFolder ? "is a directory" : "not a regular file";
        return nullptr;
    }
    if (code == 0) {
        code = file.Identity(&identity);
    }
    if (code == 0) {
        code = file.Size(&size);
    }
    if (code != 0) {
        *error = std::generic_category().message(code);
        return nullptr;
    }
    return std::unique_ptr<InputFile>(new InputFile(std::move(file), size, identity));
}

bool IdentifyFile(const std::string& nativePath, FileIdentity* identity) {
    return platform::IdentifyPath(nativePath, identity);
}

// Positioned reads, which several threads may make on one file at once.
std::size_t InputFile::ReadAt(std::uint64_t position, void* dst, std::size_t n) {
    if (n == 0 || position >= m_size) {
        return 0;
    }
    std::size_t got = 0;
    m_file.ReadAt(position, dst, n, &got);
    return got;
}

}  // namespace marrowix
