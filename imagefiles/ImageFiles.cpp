#include "imagefiles/ImageFiles.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <system_error>
#include <vector>

#include "decode/Decode.h"
#include "textureset/TextureSet.h"

namespace marrowix {
namespace {

std::filesystem::path NativePath(const std::string& bytes) {
    return std::filesystem::path(bytes);
}

std::string ErrnoText() {
    return std::generic_category().message(errno);
}

std::string AbsolutePath(const std::string& path) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(NativePath(path), ec);
    if (ec) {
        return path;
    }
    // Links in the folders are resolved as far as they exist.
    std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, ec);
    return (ec ? absolute : canonical).lexically_normal().string();
}

// Creates a new file beside `target` under a name nothing else uses: made
// exclusively, never through an existing file or link.
int CreateTemporary(const std::filesystem::path& target, std::filesystem::path* temp) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path name = target;
        name += ".partial-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd =
            ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            *temp = name;
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

// Runs `write` on a temporary file beside `path`, then renames it to `path`.
std::string WriteAtomically(const std::string& path, const SetFileGuard& guard,
                            const std::function<std::string(std::FILE*)>& write) {
    if (std::string refusal = guard.Refusal(path); !refusal.empty()) {
        return refusal;
    }
    const std::filesystem::path target = NativePath(path);
    std::filesystem::path temp;
    const int fd = CreateTemporary(target, &temp);
    if (fd < 0) {
        return ErrnoText();
    }
    std::error_code ec;
    struct stat st {};
    std::string error;
    if (::fstat(fd, &st) != 0) {
        error = ErrnoText();
    } else {
        error = guard.Refusal(FileIdentity{static_cast<std::uint64_t>(st.st_dev),
                                           static_cast<std::uint64_t>(st.st_ino)});
    }
    if (!error.empty()) {
        ::close(fd);
        std::filesystem::remove(temp, ec);
        return error;
    }
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        error = ErrnoText();
        ::close(fd);
        std::filesystem::remove(temp, ec);
        return error;
    }
    error = write(file);
    if (error.empty() && std::fflush(file) != 0) {
        error = ErrnoText();
    }
    if (std::fclose(file) != 0 && error.empty()) {
        error = ErrnoText();
    }
    if (error.empty()) {
        // Once more just before the rename, in case the target changed meanwhile.
        error = guard.Refusal(path);
    }
    if (error.empty()) {
        std::filesystem::rename(temp, target, ec);
        if (ec) {
            error = ec.message();
        }
    }
    if (!error.empty()) {
        std::filesystem::remove(temp, ec);
    }
    return error;
}

std::string CheckDib(std::span<const std::uint8_t> dib, BITMAPINFOHEADER* header) {
    *header = ReadDibHeader(dib);
    const std::uint64_t pixels = std::uint64_t(header->biWidth < 0 ? 0 : header->biWidth) *
                                 std::uint64_t(header->biHeight < 0 ? 0 : header->biHeight) * 4;
    if (dib.size() < kDibHeaderSize || header->biSize != kDibHeaderSize ||
        header->biBitCount != 32 || dib.size() - kDibHeaderSize != pixels) {
        return "not a 32-bit preview image";
    }
    return {};
}

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

struct PngJob {
    std::FILE* file;
    std::uint32_t width;
    std::uint32_t height;
    const std::uint8_t* pixels;  // bottom-up BGRA
    std::uint8_t* row;           // width x 4 bytes of scratch
    char message[256];
};

void OnPngError(png_structp png, png_const_charp message) {
    auto* job = static_cast<PngJob*>(png_get_error_ptr(png));
    std::snprintf(job->message, sizeof job->message, "%s", message);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Only plain data lives in this frame, as libpng leaves it by longjmp.
bool RunPng(PngJob* job) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, job, OnPngError, OnPngWarning);
    if (png == nullptr) {
        std::snprintf(job->message, sizeof job->message, "cannot start the PNG writer");
        return false;
    }
    // Any size the program accepts; libpng's own default stops at 1,000,000.
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        if (job->message[0] == 0) {
            std::snprintf(job->message, sizeof job->message, "cannot write the PNG");
        }
        return false;
    }
    png_init_io(png, job->file);
    png_set_IHDR(png, info, job->width, job->height, 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t stride = std::size_t{job->width} * 4;
    for (std::uint32_t y = 0; y < job->height; ++y) {
        const std::uint8_t* src = job->pixels + std::size_t{job->height - 1 - y} * stride;
        for (std::size_t x = 0; x < stride; x += 4) {
            job->row[x + 0] = src[x + 2];
            job->row[x + 1] = src[x + 1];
            job->row[x + 2] = src[x + 0];
            job->row[x + 3] = src[x + 3];
        }
        png_write_row(png, job->row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

namespace {

std::string Refused(const std::string& what) {
    return "refused: it is the set's own " + what + "; the set's files are never written";
}

}  // namespace

SetFileGuard::SetFileGuard(const CTextureSet& set) {
    const std::pair<const char*, std::pair<const std::u16string*, const InputFile*>> files[] = {
        {"listing", {&set.ListingPath(), set.GetListingFile()}},
        {"offset table", {&set.OffsetTablePath(), set.GetOffsetTableFile()}},
        {"data file", {&set.DataPath(), set.GetDataFile()}}};
    for (const auto& [what, file] : files) {
        Guarded g;
        g.what = what;
        const std::string native = ToNativePath(*file.first);
        if (file.second != nullptr) {
            g.known = true;
            g.identity = file.second->Identity();
        } else {
            g.known = IdentifyFile(native, &g.identity);
        }
        g.absolute = AbsolutePath(native);
        m_files.push_back(std::move(g));
    }
}

std::string SetFileGuard::Refusal(const std::string& path) const {
    FileIdentity identity;
    if (IdentifyFile(path, &identity)) {
        if (std::string refusal = Refusal(identity); !refusal.empty()) {
            return refusal;
        }
    }
    const std::string absolute = AbsolutePath(path);
    for (const Guarded& g : m_files) {
        if (g.absolute == absolute) {
            return Refused(g.what);
        }
    }
    return {};
}

std::string SetFileGuard::Refusal(const FileIdentity& identity) const {
    for (const Guarded& g : m_files) {
        if (g.known && g.identity == identity) {
            return Refused(g.what);
        }
    }
    return {};
}

std::string WriteBmpFile(const std::string& path, std::span<const std::uint8_t> dib,
                         const SetFileGuard& guard) {
    BITMAPINFOHEADER header;
    if (std::string error = CheckDib(dib, &header); !error.empty()) {
        return error;
    }
    constexpr std::uint32_t kFileHeaderSize = 14;
    if (dib.size() > 0xFFFFFFFFu - kFileHeaderSize) {
        return "image too large for a BMP file";
    }
    std::vector<std::uint8_t> fileHeader;
    fileHeader.push_back('B');
    fileHeader.push_back('M');
    PutLe(fileHeader, static_cast<std::uint32_t>(kFileHeaderSize + dib.size()), 4);  // bfSize
    PutLe(fileHeader, 0, 4);  // bfReserved1, bfReserved2
    PutLe(fileHeader, kFileHeaderSize + static_cast<std::uint32_t>(kDibHeaderSize), 4);
    return WriteAtomically(path, guard, [&](std::FILE* file) -> std::string {
        if (std::fwrite(fileHeader.data(), 1, fileHeader.size(), file) != fileHeader.size() ||
            std::fwrite(dib.data(), 1, dib.size(), file) != dib.size()) {
            return ErrnoText();
        }
        return {};
    });
}

std::string WritePngFile(const std::string& path, std::span<const std::uint8_t> dib,
                         const SetFileGuard& guard) {
    BITMAPINFOHEADER header;
    if (std::string error = CheckDib(dib, &header); !error.empty()) {
        return error;
    }
    if (header.biWidth == 0 || header.biHeight == 0) {
        return "a PNG cannot hold an image of " + std::to_string(header.biWidth) + " x " +
               std::to_string(header.biHeight) + " pixels";
    }
    std::vector<std::uint8_t> row(static_cast<std::size_t>(header.biWidth) * 4);
    return WriteAtomically(path, guard, [&](std::FILE* file) -> std::string {
        PngJob job{file,
                   static_cast<std::uint32_t>(header.biWidth),
                   static_cast<std::uint32_t>(header.biHeight),
                   dib.data() + kDibHeaderSize,
                   row.data(),
                   {}};
        if (!RunPng(&job)) {
            return job.message;
        }
        return {};
    });
}

}  // namespace marrowix
