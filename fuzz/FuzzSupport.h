// Helpers shared by the fuzz targets.
#pragma once

#include <unistd.h>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace marrowix::fuzz {

// A folder for the files of one input, removed when the process ends.
class ScratchDir {
public:
    ScratchDir() {
        const std::filesystem::path shm("/dev/shm");
        std::error_code ec;
        const std::filesystem::path base =
            std::filesystem::is_directory(shm, ec) ? shm : std::filesystem::temp_directory_path();
        m_path = base / ("marrowix-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_path);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

inline void WriteFile(const std::filesystem::path& path, const void* data, std::size_t size) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// Stops the process with a message: a broken promise of the code under test.
[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

#define MARROWIX_FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::marrowix::fuzz::Fail(#condition))

}  // namespace marrowix::fuzz
