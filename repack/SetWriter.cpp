#include "repack/SetWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>
#include <system_error>

#include "decode/Decode.h"
#include "imagefiles/OutputFolder.h"
#include "repack/ListingMap.h"
#include "textureset/DisplayText.h"

namespace marrowix {
namespace {

std::string ErrnoText(int error) {
    return std::generic_category().message(error);
}

bool WriteAt(int fd, std::uint64_t at, const std::uint8_t* data, std::size_t n, int* error) {
    while (n > 0) {
        const ssize_t w = ::pwrite(fd, data, n, static_cast<off_t>(at));
        if (w < 0 && errno == EINTR) {
            continue;
        }
        if (w <= 0) {
            *error = w < 0 ? errno : EIO;
            return false;
        }
        data += w;
        at += static_cast<std::uint64_t>(w);
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

// The whole of `from` to the start of `to`: by copy_file_range, which the
// kernel may do without reading the data, or by reads and writes.
bool CopyFile(InputFile& from, int to, int* error) {
    const int in = fileno(from.Stream());
    loff_t inAt = 0;
    loff_t outAt = 0;
    const auto size = static_cast<loff_t>(from.Size());
    while (inAt < size) {
        const ssize_t n =
            ::copy_file_range(in, &inAt, to, &outAt, static_cast<std::size_t>(size - inAt), 0);
        if (n > 0) {
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n == 0 || errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) {
            break;  // the rest by hand
        }
        *error = errno;
        return false;
    }
    std::vector<std::uint8_t> buffer(std::size_t{1} << 20);
    while (inAt < size) {
        const std::size_t got = from.ReadAt(
            static_cast<std::uint64_t>(inAt), buffer.data(),
            std::min<std::size_t>(buffer.size(), static_cast<std::size_t>(size - inAt)));
        if (got == 0) {
            *error = EIO;
            return false;
        }
        if (!WriteAt(to, static_cast<std::uint64_t>(outAt), buffer.data(), got, error)) {
            return false;
        }
        inAt += static_cast<loff_t>(got);
        outAt += static_cast<loff_t>(got);
    }
    return true;
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
bool Reserve(int fd, std::uint64_t size, int* error) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        *error = errno;
        return false;
    }
    if (static_cast<std::uint64_t>(st.st_size) < size &&
        ::ftruncate(fd, static_cast<off_t>(size)) != 0) {
        *error = errno;
        return false;
    }
    return true;
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
};

Encoded Encode(const InputImage& image, TextureMode mode, const RepackOptions& options) {
    Encoded e;
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
    MeasureSums sums;
    const std::vector<std::uint32_t> source = Packed(image);
    sums.Add(source.data(), decoded.data(), source.size());
    e.measures = sums.Result();
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

const char* ModeWord(TextureMode mode) {
    return mode == kModeDxt ? "dxt" : "etc";
}

std::string FileNameOf(const std::u16string& path) {
    const std::string native = ToNativePath(path);
    const std::size_t slash = native.find_last_of('/');
    return slash == std::string::npos ? native : native.substr(slash + 1);
}

// The files of one encoding of the new set, being written.
struct ModeFiles {
    const CTextureSet* source = nullptr;  // the old set's, for a replacement
    TextureMode mode = kModeDxt;
    std::unique_ptr<PendingFile> table;
    std::unique_ptr<PendingFile> data;
    std::uint64_t dataEnd = 0;  // where appended data goes
};

// The pending files of the new set: the listing and each encoding's table
// and data file, all beside `newListing`.
struct NewSet {
    OutputFolder folder;
    SetFileGuard guard;
    std::unique_ptr<PendingFile> listing;
    std::vector<ModeFiles> modes;

    std::string Make(const std::string& newListing, const std::vector<TextureMode>& which) {
        std::string name;
        if (std::string error = OpenFolderOf(newListing, &folder, &name, true); !error.empty()) {
            return error;
        }
        auto make = [&](const std::string& file, std::unique_ptr<PendingFile>* out) {
            std::string error = PendingFile::Make(folder, file, guard, out);
            return error.empty() ? error : "'" + DisplayPath(folder.PathOf(file)) + "': " + error;
        };
        if (std::string error = make(name, &listing); !error.empty()) {
            return error;
        }
        const std::u16string path = FromNativePath(newListing);
        for (TextureMode mode : which) {
            ModeFiles files;
            files.mode = mode;
            const std::u16string word = FromUtf8(ModeWord(mode));
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

    // Renames every file into place, the listing last.
    std::string Commit() {
        for (ModeFiles& m : modes) {
            for (PendingFile* file : {m.data.get(), m.table.get()}) {
                if (std::string error = file->Commit(); !error.empty()) {
                    return "'" + DisplayPath(folder.PathOf(file->Name())) + "': " + error;
                }
            }
        }
        std::string error = listing->Commit();
        return error.empty() ? error
                             : "'" + DisplayPath(folder.PathOf(listing->Name())) + "': " + error;
    }

    std::string WriteError(const PendingFile& file, int error) const {
        return "cannot write '" + DisplayPath(folder.PathOf(file.Name())) +
               "': " + ErrnoText(error);
    }
};

// Reads the listing just written through its open descriptor.
void ReadBack(const PendingFile& listing, CTextureSet& set, ListingMap& map) {
    const std::string path = "/proc/self/fd/" + std::to_string(listing.Descriptor());
    ReadListing(set, FromNativePath(path), &map);
}

std::string Le32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

}  // namespace

std::string CheckPackName(const std::string& name, bool category) {
    if (name.empty()) {
        return "an empty name";
    }
    if (name.size() > kMaxNameLength) {
        return "a name of " + std::to_string(name.size()) + " bytes (at most " +
               std::to_string(kMaxNameLength) + ")";
    }
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            return "a control character in its name";
        }
        if (!category && c == '"') {
            return "a double quote in its name";
        }
        if (category && c == ' ') {
            return "white space in a category name";
        }
    }
    return {};
}

RepackResult ReplaceTextures(const std::string& listing, const std::string& newListing,
                             std::vector<Replacement> replacements, const RepackOptions& options) {
    RepackResult result;
    auto fail = [&](std::string error) {
        result.error = std::move(error);
        result.written.clear();
        return result;
    };
    CTextureSet dxt;
    CTextureSet etc;
    ListingMap map;
    OpenTextureSetInBothModes(dxt, u"dxt", etc, u"etc", FromNativePath(listing), &map);
    if (!dxt.HasListingFile()) {
        return fail("cannot open listing '" + DisplayPath(listing) + "': " + dxt.ListingError());
    }
    if (!dxt.ListingError().empty() || etc.GetEntryCount() != dxt.GetEntryCount()) {
        return fail("listing '" + DisplayPath(listing) + "': " + etc.ListingError());
    }
    NewSet out;
    out.guard.Add(dxt);
    out.guard.Add(etc);
    std::vector<TextureMode> which;
    for (const CTextureSet* set : {&dxt, &etc}) {
        const bool has = set->HasOffsetTableFile() && set->HasDataFile();
        const bool wanted = options.mode.empty() ? has : options.mode == ModeWord(set->GetMode());
        if (wanted && !has) {
            const bool table = !set->HasOffsetTableFile();
            return fail(
                "cannot read '" +
                DisplayPath(ToNativePath(table ? set->OffsetTablePath() : set->DataPath())) +
                "': " + (table ? set->OffsetTableError() : set->DataError()));
        }
        if (wanted) {
            which.push_back(set->GetMode());
        }
    }
    if (which.empty()) {
        return fail("no offset table and data file of either encoding beside '" +
                    DisplayPath(listing) + "'");
    }
    // Each entry replaced once, by an image of a size a texture may have.
    std::vector<std::size_t> resized;
    std::sort(replacements.begin(), replacements.end(),
              [](const Replacement& a, const Replacement& b) { return a.index < b.index; });
    for (std::size_t k = 0; k < replacements.size(); ++k) {
        const Replacement& r = replacements[k];
        if (r.index >= dxt.GetEntryCount()) {
            return fail("no entry " + std::to_string(r.index) + " (the set has " +
                        std::to_string(dxt.GetEntryCount()) + ")");
        }
        if (k > 0 && replacements[k - 1].index == r.index) {
            return fail("entry " + std::to_string(r.index) + " is replaced twice");
        }
        const StoredEntry& e = dxt.Entries()[r.index];
        if (std::uint64_t(e.width) != r.width || std::uint64_t(e.height) != r.height) {
            resized.push_back(r.index);
        }
    }

    // The listing: its bytes as they are, but the size on the lines of
    // entries whose size changes.
    InputFile& listingFile = *dxt.GetListingFile();
    std::string text;
    try {
        text.resize(static_cast<std::size_t>(listingFile.Size()));
        text.resize(listingFile.ReadAt(0, text.data(), text.size()));
    } catch (const std::bad_alloc&) {
        return fail("not enough memory for the listing");
    }
    if (!map.Locate({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()})) {
        return fail("listing '" + DisplayPath(listing) + "' changed while it was read");
    }
    for (auto it = resized.rbegin(); it != resized.rend(); ++it) {
        const auto& r = *std::find_if(replacements.begin(), replacements.end(),
                                      [&](const Replacement& x) { return x.index == *it; });
        const std::uint64_t read = map.ReadOf(r.index);
        const std::size_t start = static_cast<std::size_t>(map.Start(read));
        const std::size_t end = static_cast<std::size_t>(map.End(read));
        text.replace(
            start, end - start,
            WithSize(std::string_view(text).substr(start, end - start), r.width, r.height));
    }
    if (std::string error = out.Make(newListing, which); !error.empty()) {
        return fail(error);
    }
    int error = 0;
    if (!WriteAt(out.listing->Descriptor(), 0, reinterpret_cast<const std::uint8_t*>(text.data()),
                 text.size(), &error)) {
        return fail(out.WriteError(*out.listing, error));
    }
    {
        CTextureSet check;
        ListingMap checkMap;
        ReadBack(*out.listing, check, checkMap);
        std::string differs = CompareReadings(dxt, map, check, checkMap, resized);
        for (const Replacement& r : replacements) {
            const StoredEntry& e = check.Entries()[std::min(r.index, check.GetEntryCount() - 1)];
            if (differs.empty() &&
                (std::uint64_t(e.width) != r.width || std::uint64_t(e.height) != r.height)) {
                differs = "the size of entry " + std::to_string(r.index) +
                          " cannot be written on its line";
            }
        }
        if (!differs.empty()) {
            return fail("cannot make the new listing: " + differs);
        }
    }

    // Each encoding's files: the old ones copied whole, then each replaced
    // entry's data written over its old data where it has the same length
    // and no other entry shares any of its bytes, or after the end.
    for (ModeFiles& files : out.modes) {
        files.source = files.mode == kModeDxt ? &dxt : &etc;
        for (auto [from, to] : {std::pair{files.source->GetDataFile(), files.data.get()},
                                {files.source->GetOffsetTableFile(), files.table.get()}}) {
            if (!CopyFile(*from, to->Descriptor(), &error)) {
                return fail(out.WriteError(*to, error));
            }
        }
        files.dataEnd = files.source->GetDataFile()->Size();
    }
    // Data ranges of every entry of a size that can be read, by start: an
    // entry's range is shared when a range starting before it reaches into
    // it or the next one starts inside it.
    struct Range {
        std::uint64_t start;
        std::uint64_t end;
        std::size_t index;
    };
    auto sharedRanges = [&](const CTextureSet& set) {
        std::vector<Range> ranges;
        for (std::size_t i = 0; i < set.GetEntryCount(); ++i) {
            const StoredEntry& e = set.Entries()[i];
            if (CheckEntrySize(e.width, e.height).empty()) {
                ranges.push_back({e.offset,
                                  e.offset + kTextureHeaderBytes +
                                      EntryDataSize(e.width, e.height, set.GetMode()),
                                  i});
            }
        }
        std::sort(ranges.begin(), ranges.end(),
                  [](const Range& a, const Range& b) { return a.start < b.start; });
        std::vector<bool> shared(set.GetEntryCount(), false);
        std::uint64_t reach = 0;
        for (std::size_t k = 0; k < ranges.size(); ++k) {
            const bool before = k > 0 && reach > ranges[k].start;
            const bool after = k + 1 < ranges.size() && ranges[k + 1].start < ranges[k].end;
            shared[ranges[k].index] = before || after;
            reach = std::max(reach, ranges[k].end);
        }
        return shared;
    };
    std::vector<std::vector<bool>> shared;
    for (const ModeFiles& files : out.modes) {
        shared.push_back(sharedRanges(*files.source));
    }

    std::size_t done = 0;
    const std::size_t total = replacements.size() * out.modes.size();
    for (Replacement& r : replacements) {
        if (r.image.rgba.empty()) {
            Result<InputImage> image = ReadInputImage(r.source);
            if (!image.ok()) {
                return fail(image.error);
            }
            r.image = std::move(image.value);
        }
        if (r.image.width != r.width || r.image.height != r.height) {
            return fail("'" + DisplayPath(r.source) + "' changed while the set was written");
        }
        for (std::size_t m = 0; m < out.modes.size(); ++m) {
            ModeFiles& files = out.modes[m];
            const CTextureSet& source = *files.source;
            const StoredEntry& old = source.Entries()[r.index];
            Encoded encoded;
            try {
                encoded = Encode(r.image, files.mode, options);
            } catch (const std::bad_alloc&) {
                return fail("not enough memory to encode '" + DisplayPath(r.source) + "'");
            }
            if (std::string below = BelowGate(encoded.measures, options); !below.empty()) {
                return fail("entry " + std::to_string(r.index) + " (" + ModeWord(files.mode) +
                            "): " + below);
            }
            // The old header stays with the texture.
            std::uint8_t header[kTextureHeaderBytes] = {};
            source.GetDataFile()->ReadAt(old.offset, header, sizeof header);
            const bool sameLength =
                CheckEntrySize(old.width, old.height).empty() &&
                EntryDataSize(old.width, old.height, files.mode) == encoded.data.size() &&
                old.offset + kTextureHeaderBytes + encoded.data.size() <=
                    source.GetDataFile()->Size();
            const std::uint64_t at = sameLength && !shared[m][r.index] ? old.offset : files.dataEnd;
            if (at > 0xFFFFFFFFu) {
                return fail("entry " + std::to_string(r.index) + " (" + ModeWord(files.mode) +
                            "): its data would start at byte " + std::to_string(at) +
                            ", past what the offset table's 32-bit offsets reach");
            }
            const int fd = files.data->Descriptor();
            if (!WriteAt(fd, at, header, sizeof header, &error) ||
                !WriteAt(fd, at + sizeof header, encoded.data.data(), encoded.data.size(),
                         &error)) {
                return fail(out.WriteError(*files.data, error));
            }
            if (at == files.dataEnd) {
                files.dataEnd += sizeof header + StoredBytes(r.width, r.height, encoded.data);
                if (!Reserve(fd, files.dataEnd, &error)) {
                    return fail(out.WriteError(*files.data, error));
                }
            }
            const std::string offset = Le32(static_cast<std::uint32_t>(at));
            if (!WriteAt(files.table->Descriptor(), map.ReadOf(r.index) * 4,
                         reinterpret_cast<const std::uint8_t*>(offset.data()), 4, &error)) {
                return fail(out.WriteError(*files.table, error));
            }
            result.written.push_back(
                {r.index, files.mode, r.source, encoded.measures, encoded.blocksTaken});
            if (options.progress) {
                options.progress(++done, total, std::uint64_t{r.width} * r.height);
            }
        }
        r.image = InputImage{};  // one image in memory at a time
    }
    if (std::string failed = out.Commit(); !failed.empty()) {
        return fail(failed);
    }
    return result;
}

RepackResult PackTextures(const std::vector<std::string>& categories,
                          const std::vector<PackItem>& items, const std::string& newListing,
                          const RepackOptions& options) {
    RepackResult result;
    auto fail = [&](std::string error) {
        result.error = std::move(error);
        result.written.clear();
        return result;
    };
    std::vector<TextureMode> which;
    if (options.mode != "etc") {
        which.push_back(kModeDxt);
    }
    if (options.mode != "dxt") {
        which.push_back(kModeEtc);
    }
    NewSet out;
    if (std::string error = out.Make(newListing, which); !error.empty()) {
        return fail(error);
    }
    std::string text;
    std::string table;  // the same for every encoding but for texture lines
    for (std::size_t c = 0; c < categories.size(); ++c) {
        text += "cat=" + std::to_string(c) + " name=" + categories[c] + "\n";
    }
    int error = 0;
    for (ModeFiles& files : out.modes) {
        const std::string zeros(categories.size() * 4, '\0');
        if (!WriteAt(files.table->Descriptor(), 0,
                     reinterpret_cast<const std::uint8_t*>(zeros.data()), zeros.size(), &error)) {
            return fail(out.WriteError(*files.table, error));
        }
    }
    std::size_t done = 0;
    for (std::size_t k = 0; k < items.size(); ++k) {
        const PackItem& item = items[k];
        Result<InputImage> image = ReadInputImage(item.path);
        if (!image.ok()) {
            return fail(image.error);
        }
        // A texture outside every category takes a number no category has.
        const std::string line = "\"" + item.name + "\" cat=" +
                                 std::to_string(item.category < 0 ? 65535 : item.category) +
                                 " width=" + std::to_string(image.value.width) +
                                 " height=" + std::to_string(image.value.height);
        if (line.size() > 126) {
            return fail("'" + DisplayPath(item.path) + "': its listing line would take " +
                        std::to_string(line.size()) + " characters (at most 126)");
        }
        text += line + "\n";
        const std::uint64_t read = categories.size() + k;
        for (ModeFiles& files : out.modes) {
            Encoded encoded;
            try {
                encoded = Encode(image.value, files.mode, options);
            } catch (const std::bad_alloc&) {
                return fail("not enough memory to encode '" + DisplayPath(item.path) + "'");
            }
            if (std::string below = BelowGate(encoded.measures, options); !below.empty()) {
                return fail("'" + DisplayPath(item.path) + "' (" + ModeWord(files.mode) +
                            "): " + below);
            }
            if (files.dataEnd > 0xFFFFFFFFu) {
                return fail("'" + DisplayPath(item.path) + "' (" + ModeWord(files.mode) +
                            "): its data would start at byte " + std::to_string(files.dataEnd) +
                            ", past what the offset table's 32-bit offsets reach");
            }
            const std::uint8_t header[kTextureHeaderBytes] = {};
            const std::string offset = Le32(static_cast<std::uint32_t>(files.dataEnd));
            const int fd = files.data->Descriptor();
            if (!WriteAt(fd, files.dataEnd, header, sizeof header, &error) ||
                !WriteAt(fd, files.dataEnd + sizeof header, encoded.data.data(),
                         encoded.data.size(), &error)) {
                return fail(out.WriteError(*files.data, error));
            }
            if (!WriteAt(files.table->Descriptor(), read * 4,
                         reinterpret_cast<const std::uint8_t*>(offset.data()), 4, &error)) {
                return fail(out.WriteError(*files.table, error));
            }
            files.dataEnd +=
                sizeof header + StoredBytes(image.value.width, image.value.height, encoded.data);
            if (!Reserve(fd, files.dataEnd, &error)) {
                return fail(out.WriteError(*files.data, error));
            }
            result.written.push_back(
                {k, files.mode, item.path, encoded.measures, encoded.blocksTaken});
            if (options.progress) {
                options.progress(++done, items.size() * out.modes.size(),
                                 std::uint64_t{image.value.width} * image.value.height);
            }
        }
    }
    if (!WriteAt(out.listing->Descriptor(), 0, reinterpret_cast<const std::uint8_t*>(text.data()),
                 text.size(), &error)) {
        return fail(out.WriteError(*out.listing, error));
    }
    // What was written reads back as meant.
    CTextureSet check;
    ListingMap checkMap;
    ReadBack(*out.listing, check, checkMap);
    bool same =
        check.GetEntryCount() == items.size() && check.GetCategoryCount() == categories.size();
    for (std::size_t k = 0; same && k < items.size(); ++k) {
        same = check.GetEntryNameBytes(k) == items[k].name &&
               checkMap.ReadOf(k) == categories.size() + k;
    }
    if (!same) {
        return fail("cannot make the new listing: it would not read back as written");
    }
    if (std::string failed = out.Commit(); !failed.empty()) {
        return fail(failed);
    }
    return result;
}

}  // namespace marrowix
