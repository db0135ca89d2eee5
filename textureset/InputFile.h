// Read-only access to one file of a texture set, with 64-bit positioning.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Files.h"

namespace marrowix {

class InputFile {
public:
    // Opens an existing regular file for reading, following links. Anything
    // else (a folder, a FIFO, a device) is refused without blocking. On
    // failure returns null and puts the reason into *error.
    static std::unique_ptr<InputFile> Open(const std::u16string& path, std::string* error);

    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Size of the file when it was opened.
    std::uint64_t Size() const { return m_size; }
    const FileIdentity& Identity() const { return m_identity; }

    // The open file, for copying its bytes elsewhere.
    const platform::File& Handle() const { return m_file; }

    // Reads up to n bytes at the given position; returns how many were read.
    // Threads may read one file at once.
    std::size_t ReadAt(std::uint64_t position, void* dst, std::size_t n);

private:
    InputFile(platform::File file, std::uint64_t size, FileIdentity identity)
        : m_file(std::move(file)), m_size(size), m_identity(identity) {}

    platform::File m_file;
    std::uint64_t m_size;
    FileIdentity m_identity;
};

// The identity of the file at a native path, following links; false when
// there is none.
bool IdentifyFile(const std::string& nativePath, FileIdentity* identity);

}  // namespace marrowix
