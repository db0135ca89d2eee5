#include "repack/NewSet.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <system_error>

#include "decode/Decode.h"
#include "textureset/DisplayText.h"

namespace marrowix {
namespace {

std::string ErrnoText(int error) {
    return std::generic_category().message(error);
}

// The bytes a texture's data takes at the end of a data file: its data, and
// for "dxt" as many as width x height x 2 where that is more (a texture of
// whole blocks), since readers of the format read that many after the
// header whatever the encoding.
std::uint64_t StoredBytes(std::uint32_t width, std::uint32_t height,
                          const std::vector<std::uint8_t>& data) {
    return std::max<std::uint64_t>(data.size(), std::uint64_t{width} * height * 2);
}

// Makes the file at least `size` bytes long (zeros after its end).
bool Reserve(const platform::File& file, std::uint64_t size, int* error) {
    std::uint64_t now = 0;
    *error = file.Size(&now);
    if (*error == 0 && now < size) {
        *error = file.Resize(size);
    }
    return *error == 0;
}

// An image's pixels as 0xAARRGGBB, as the decoder gives texels.
std::vector<std::uint32_t> Packed(const InputImage& image) {
    std::vector<std::uint32_t> pixels(std::size_t{image.width} * image.height);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const std::uint8_t* p = image.rgba.data() + i * 4;
        pixels[i] =
            std::uint32_t{p[3]} << 24 | std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
    }
    return pixels;
}

// A texture's data in one encoding, and how far it is from its image.
struct Encoded {
    std::vector<std::uint8_t> data;
    Measures measures;
    bool blocksTaken = false;
    std::string note;
};

Encoded Encode(const InputImage& image, TextureMode mode, const RepackOptions& options) {
    Encoded e;
    e.note = image.note;
    std::vector<std::uint32_t> decoded(std::size_t{image.width} * image.height);
    if (mode == kModeDxt) {
        e.blocksTaken = !image.dxtBlocks.empty();
        e.data = e.blocksTaken ? image.dxtBlocks
                               : EncodeDxt5(image.rgba, image.width, image.height, options.quality);
        DecodeBlockImage(image.width, image.height, e.data, std::span<std::uint32_t>(decoded));
    } else {
        e.data = EncodeRgba4444(image.rgba, image.width, image.height, options.dither);
        for (std::size_t i = 0; i < decoded.size(); ++i) {
            decoded[i] =
                WidenTexel(static_cast<std::uint16_t>(e.data[2 * i] | e.data[2 * i + 1] << 8));
        }
    }
    const std::vector<std::uint32_t> source = Packed(image);
    e.measures = MeasureImages(PackedImage(reinterpret_cast<const std::uint8_t*>(source.data()),
                                           image.width, image.height, PixelFormat::kBgra),
                               PackedImage(reinterpret_cast<const std::uint8_t*>(decoded.data()),
                                           image.width, image.height, PixelFormat::kBgra));
    return e;
}

std::string BelowGate(const Measures& m, const RepackOptions& options) {
    if (!options.failBelow) {
        return {};
    }
    const double db = *options.failBelow;
    if (m.RgbPsnr() < db || m.Psnr(kAlpha) < db) {
        return "its PSNR (RGB " + FormatDecibels(m.RgbPsnr()) + ", A " +
               FormatDecibels(m.Psnr(kAlpha)) + " dB) is below " + FormatDecibels(db) +
               " dB (--fail-below); nothing was written";
    }
    return {};
}

std::string FileNameOf(const std::u16string& path) {
    const std::string native = ToNativePath(path);
    const std::size_t slash = platform::LastSeparator(native);
    return slash == std::string::npos ? native : native.substr(slash + 1);
}

// A 32-bit offset as the offset table holds it.
std::string Le32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

}  // namespace

bool WriteAt(const platform::File& file, std::uint64_t at, const std::uint8_t* data, std::size_t n,
             int* error) {
    *error = file.WriteAt(at, data, n);
    return *error == 0;
}

bool CopyFile(InputFile& from, const platform::File& to, int* error) {
    const std::uint64_t size = from.Size();
    std::uint64_t at = 0;
    if (*error = to.CopyFrom(from.Handle(), size, &at); *error != 0) {
        return false;
    }
    std::vector<std::uint8_t> buffer(std::size_t{1} << 20);
    while (at < size) {
        const std::size_t got =
            from.ReadAt(at, buffer.data(), std::min<std::uint64_t>(buffer.size(), size - at));
        if (got == 0) {
            *error = EIO;
            return false;
        }
        if (!WriteAt(to, at, buffer.data(), got, error)) {
            return false;
        }
        at += got;
    }
    return true;
}

std::string NewSet::Make(const std::string& newListing, const std::vector<TextureMode>& which) {
    if (std::string error = OpenFolderOf(newListing, &folder, &m_listingName, true, &m_madeFolders);
        !error.empty()) {
        return error;
    }
    std::vector<std::string> existing;
    if (std::string error = CheckTargets(&existing); !error.empty()) {
        return error;
    }
    auto make = [&](const std::string& file, std::unique_ptr<PendingFile>* out) {
        std::string error = PendingFile::Make(folder, file, guard, out);
        return error.empty() ? error : "'" + DisplayPath(folder.PathOf(file)) + "': " + error;
    };
    if (std::string error = make(m_listingName, &listing); !error.empty()) {
        return error;
    }
    const std::u16string path = FromNativePath(newListing);
    for (TextureMode mode : which) {
        ModeFiles files;
        files.mode = mode;
        const std::u16string word = ModeWordU16(mode);
        for (auto [suffix, out] : {std::pair{u".toc", &files.table}, {u".dat", &files.data}}) {
            if (std::string error = make(FileNameOf(DeriveSetPath(path, word, suffix)), out);
                !error.empty()) {
                return error;
            }
        }
        modes.push_back(std::move(files));
    }
    return {};
}

std::vector<std::string> NewSet::TargetNames() const {
    std::vector<std::string> names{m_listingName};
    const std::u16string path = FromNativePath(m_listingName);
    for (const char16_t* word : {u"dxt", u"etc"}) {
        for (const char16_t* suffix : {u".toc", u".dat"}) {
            names.push_back(FileNameOf(DeriveSetPath(path, word, suffix)));
        }
    }
    return names;
}

std::string NewSet::PutImage(ModeFiles& files, const InputImage& image,
                             const std::uint8_t (&header)[kTextureHeaderBytes], std::uint64_t place,
                             std::uint64_t read, const RepackOptions& options,
                             WrittenTexture* written) {
    const std::string what = std::string("(") + ModeWord(files.mode) + "): ";
    Encoded encoded;
    try {
        encoded = Encode(image, files.mode, options);
    } catch (const std::bad_alloc&) {
        return what + "not enough memory to encode it";
    }
    if (std::string below = BelowGate(encoded.measures, options); !below.empty()) {
        return what + below;
    }
    const std::uint64_t at = place == kAtTheEnd ? files.dataEnd : place;
    if (at > 0xFFFFFFFFu) {
        return what + "its data would start at byte " + std::to_string(at) +
               ", past what the offset table's 32-bit offsets reach";
    }
    int error = 0;
    const platform::File& data = files.data->Handle();
    if (!WriteAt(data, at, header, sizeof header, &error) ||
        !WriteAt(data, at + sizeof header, encoded.data.data(), encoded.data.size(), &error)) {
        return what + WriteError(*files.data, error);
    }
    if (place == kAtTheEnd) {
        files.dataEnd += sizeof header + StoredBytes(image.width, image.height, encoded.data);
        if (!Reserve(data, files.dataEnd, &error)) {
            return what + WriteError(*files.data, error);
        }
    }
    const std::string offset = Le32(static_cast<std::uint32_t>(at));
    if (!WriteAt(files.table->Handle(), read * 4,
                 reinterpret_cast<const std::uint8_t*>(offset.data()), 4, &error)) {
        return what + WriteError(*files.table, error);
    }
    written->mode = files.mode;
    written->measures = encoded.measures;
    written->blocksTaken = encoded.blocksTaken;
    written->note = encoded.note;
    return {};
}

std::string NewSet::WriteListing(const std::string& text, CTextureSet& check,
                                 ListingMap& checkMap) {
    int error = 0;
    if (!WriteAt(listing->Handle(), 0, reinterpret_cast<const std::uint8_t*>(text.data()),
                 text.size(), &error)) {
        return WriteError(*listing, error);
    }
    // Read back through the open file itself where the system can name it.
    const std::string path = listing->Handle().ReadBackPath(folder.PathOf(listing->Temp()));
    ReadListing(check, FromNativePath(path), &checkMap);
    return {};
}

std::string NewSet::WriteError(const PendingFile& file, int error) const {
    return "cannot write '" + DisplayPath(folder.PathOf(file.Name())) + "': " + ErrnoText(error);
}

}  // namespace marrowix
