// Read-only access to one file of a texture set, with 64-bit positioning.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace marrowix {

class InputFile {
public:
    // Opens an existing regular file for reading. On failure returns null and
    // puts the reason into *error.
    static std::unique_ptr<InputFile> Open(const std::u16string& path, std::string* error);

    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Size of the file when it was opened.
    std::uint64_t Size() const { return m_size; }

    // Reads up to n bytes at the given position; returns how many were read.
    std::size_t ReadAt(std::uint64_t position, void* dst, std::size_t n);

private:
    InputFile(std::FILE* file, std::uint64_t size) : m_file(file), m_size(size) {}

    std::FILE* m_file;
    std::uint64_t m_size;
};

}  // namespace marrowix
