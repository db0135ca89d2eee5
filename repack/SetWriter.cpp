#include "repack/SetWriter.h"

#include <algorithm>
#include <new>

#include "repack/ListingMap.h"
#include "repack/NewSet.h"
#include "textureset/DisplayText.h"

namespace marrowix {
namespace {

// A result that says why nothing was written.
RepackResult Failed(std::string error) {
    RepackResult result;
    result.error = std::move(error);
    return result;
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

std::string OpenSourceSet(const std::string& listing, SourceSet* set) {
    set->listing = listing;
    OpenTextureSetInBothModes(set->dxt, u"dxt", set->etc, u"etc", FromNativePath(listing),
                              &set->map);
    if (!set->dxt.HasListingFile()) {
        return "cannot open listing '" + DisplayPath(listing) + "': " + set->dxt.ListingError();
    }
    if (!set->dxt.ListingError().empty() || set->etc.GetEntryCount() != set->dxt.GetEntryCount()) {
        return "listing '" + DisplayPath(listing) + "': " + set->etc.ListingError();
    }
    return {};
}

std::string CheckNewSetPlace(const std::string& listing, const std::string& newListing,
                             bool overwrite) {
    SourceSet source;
    if (std::string error = OpenSourceSet(listing, &source); !error.empty()) {
        return error;
    }
    // Made and dropped: its temporaries and any folder it made go with it.
    NewSet out;
    out.overwrite = overwrite;
    out.guard.Add(source.dxt);
    out.guard.Add(source.etc);
    return out.Make(newListing, {kModeDxt, kModeEtc});
}

RepackResult ReplaceTextures(const std::string& listing, const std::string& newListing,
                             std::vector<Replacement> replacements, const RepackOptions& options) {
    SourceSet source;
    if (std::string error = OpenSourceSet(listing, &source); !error.empty()) {
        return Failed(error);
    }
    return ReplaceTextures(source, newListing, std::move(replacements), options);
}

RepackResult ReplaceTextures(SourceSet& sourceSet, const std::string& newListing,
                             std::vector<Replacement> replacements, const RepackOptions& options) {
    RepackResult result;
    const std::string& listing = sourceSet.listing;
    CTextureSet& dxt = sourceSet.dxt;
    CTextureSet& etc = sourceSet.etc;
    ListingMap& map = sourceSet.map;
    NewSet out;
    out.overwrite = options.overwrite;
    out.renameFails = options.renameFails;
    out.guard.Add(dxt);
    out.guard.Add(etc);
    for (const Replacement& r : replacements) {
        out.guard.AddImage(r.source);
    }
    std::vector<TextureMode> which;
    for (const CTextureSet* mode : {&dxt, &etc}) {
        const bool has = mode->HasOffsetTableFile() && mode->HasDataFile();
        const bool wanted = options.mode ? *options.mode == mode->GetMode() : has;
        if (wanted && !has) {
            const bool table = !mode->HasOffsetTableFile();
            return Failed(
                "cannot read '" +
                DisplayPath(ToNativePath(table ? mode->OffsetTablePath() : mode->DataPath())) +
                "': " + (table ? mode->OffsetTableError() : mode->DataError()));
        }
        if (wanted) {
            which.push_back(mode->GetMode());
        }
    }
    if (which.empty()) {
        return Failed("no offset table and data file of either encoding beside '" +
                      DisplayPath(listing) + "'");
    }
    // Each entry replaced once, by an image of a size a texture may have.
    std::vector<std::size_t> resized;
    std::sort(replacements.begin(), replacements.end(),
              [](const Replacement& a, const Replacement& b) { return a.index < b.index; });
    for (std::size_t k = 0; k < replacements.size(); ++k) {
        const Replacement& r = replacements[k];
        if (r.index >= dxt.GetEntryCount()) {
            return Failed("no entry " + std::to_string(r.index) + " (the set has " +
                          std::to_string(dxt.GetEntryCount()) + ")");
        }
        if (k > 0 && replacements[k - 1].index == r.index) {
            return Failed("entry " + std::to_string(r.index) + " is replaced twice");
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
        return Failed("not enough memory for the listing");
    }
    if (!map.Locate({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()})) {
        return Failed("listing '" + DisplayPath(listing) + "' changed while it was read");
    }
    std::string tooLong;  // the last (first in the listing) line too long to be read whole
    for (auto it = resized.rbegin(); it != resized.rend(); ++it) {
        const auto& r = *std::find_if(replacements.begin(), replacements.end(),
                                      [&](const Replacement& x) { return x.index == *it; });
        const std::uint64_t read = map.ReadOf(r.index);
        const std::size_t start = static_cast<std::size_t>(map.Start(read));
        const std::size_t end = static_cast<std::size_t>(map.End(read));
        std::string line =
            WithSize(std::string_view(text).substr(start, end - start), r.width, r.height);
        const std::size_t chars = line.size() - (line.ends_with('\n') ? 1 : 0);
        if (chars > kMaxLineChars) {
            tooLong = "entry " + std::to_string(r.index) + "'s listing line would take " +
                      std::to_string(chars) + " characters with its new size " +
                      std::to_string(r.width) + " x " + std::to_string(r.height) + " (at most " +
                      std::to_string(kMaxLineChars) + ")";
        }
        text.replace(start, end - start, line);
    }
    if (std::string error = out.Make(newListing, which); !error.empty()) {
        return Failed(error);
    }
    {
        CTextureSet check;
        ListingMap checkMap;
        if (std::string failed = out.WriteListing(text, check, checkMap); !failed.empty()) {
            return Failed(failed);
        }
        std::string differs = CompareReadings(dxt, map, check, checkMap, resized);
        for (const Replacement& r : replacements) {
            if (!differs.empty()) {
                break;  // the counts may differ: no entry is looked at
            }
            const StoredEntry& e = check.Entries()[r.index];
            if (std::uint64_t(e.width) != r.width || std::uint64_t(e.height) != r.height) {
                differs = "the size of entry " + std::to_string(r.index) +
                          " cannot be written on its line";
            }
        }
        if (!differs.empty()) {
            return Failed("cannot make the new listing: " + (tooLong.empty() ? differs : tooLong));
        }
    }

    // Each encoding's files: the old ones copied whole, then each replaced
    // entry's data written over its old data where it has the same length
    // and no other entry shares any of its bytes, or after the end.
    for (ModeFiles& files : out.modes) {
        files.source = files.mode == kModeDxt ? &dxt : &etc;
        for (auto [from, to] : {std::pair{files.source->GetDataFile(), files.data.get()},
                                {files.source->GetOffsetTableFile(), files.table.get()}}) {
            if (int error = 0; !CopyFile(*from, to->Handle(), &error)) {
                return Failed(out.WriteError(*to, error));
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
                return Failed(image.error);
            }
            r.image = std::move(image.value);
        }
        if (r.image.width != r.width || r.image.height != r.height) {
            return Failed("'" + DisplayPath(r.source) + "' changed while the set was written");
        }
        for (std::size_t m = 0; m < out.modes.size(); ++m) {
            ModeFiles& files = out.modes[m];
            const CTextureSet& source = *files.source;
            const StoredEntry& old = source.Entries()[r.index];
            // The old header stays with the texture, and so does its place
            // where the new data fits it and nothing else shares it.
            std::uint8_t header[kTextureHeaderBytes] = {};
            source.GetDataFile()->ReadAt(old.offset, header, sizeof header);
            const bool sameLength =
                CheckEntrySize(old.width, old.height).empty() &&
                EntryDataSize(old.width, old.height, files.mode) ==
                    EntryDataSize(static_cast<std::int32_t>(r.width),
                                  static_cast<std::int32_t>(r.height), files.mode) &&
                old.offset + kTextureHeaderBytes +
                        EntryDataSize(old.width, old.height, files.mode) <=
                    source.GetDataFile()->Size();
            const std::uint64_t place =
                sameLength && !shared[m][r.index] ? std::uint64_t{old.offset} : kAtTheEnd;
            WrittenTexture written;
            if (std::string failed = out.PutImage(files, r.image, header, place,
                                                  map.ReadOf(r.index), options, &written);
                !failed.empty()) {
                return Failed("entry " + std::to_string(r.index) + " " + failed);
            }
            written.index = r.index;
            written.source = r.source;
            result.written.push_back(written);
            if (options.progress) {
                options.progress(++done, total, std::uint64_t{r.width} * r.height);
            }
        }
        r.image = InputImage{};  // one image in memory at a time
        if (options.cancelled && options.cancelled()) {
            return Failed(kCancelled);
        }
    }
    if (options.cancelled && options.cancelled()) {
        return Failed(kCancelled);
    }
    if (std::string failed = out.Commit(); !failed.empty()) {
        return Failed(failed);
    }
    return result;
}

RepackResult PackTextures(const std::vector<std::string>& categories,
                          const std::vector<PackItem>& items, const std::string& newListing,
                          const RepackOptions& options) {
    RepackResult result;
    std::vector<TextureMode> which;
    if (options.mode != kModeEtc) {
        which.push_back(kModeDxt);
    }
    if (options.mode != kModeDxt) {
        which.push_back(kModeEtc);
    }
    NewSet out;
    out.overwrite = options.overwrite;
    out.renameFails = options.renameFails;
    for (const PackItem& item : items) {
        out.guard.AddImage(item.path);
    }
    if (std::string error = out.Make(newListing, which); !error.empty()) {
        return Failed(error);
    }
    std::string text;
    std::string table;  // the same for every encoding but for texture lines
    for (std::size_t c = 0; c < categories.size(); ++c) {
        text += "cat=" + std::to_string(c) + " name=" + categories[c] + "\n";
    }
    int error = 0;
    for (ModeFiles& files : out.modes) {
        const std::string zeros(categories.size() * 4, '\0');
        if (!WriteAt(files.table->Handle(), 0, reinterpret_cast<const std::uint8_t*>(zeros.data()),
                     zeros.size(), &error)) {
            return Failed(out.WriteError(*files.table, error));
        }
    }
    std::size_t done = 0;
    for (std::size_t k = 0; k < items.size(); ++k) {
        const PackItem& item = items[k];
        Result<InputImage> image = ReadInputImage(item.path);
        if (!image.ok()) {
            return Failed(image.error);
        }
        // A texture outside every category takes the root's number.
        const std::string line = "\"" + item.name + "\" cat=" +
                                 std::to_string(item.category < 0 ? kRootCategory : item.category) +
                                 " width=" + std::to_string(image.value.width) +
                                 " height=" + std::to_string(image.value.height);
        if (line.size() > kMaxLineChars) {
            return Failed("'" + DisplayPath(item.path) + "': its listing line would take " +
                          std::to_string(line.size()) + " characters (at most " +
                          std::to_string(kMaxLineChars) + ")");
        }
        text += line + "\n";
        const std::uint64_t read = categories.size() + k;
        for (ModeFiles& files : out.modes) {
            const std::uint8_t header[kTextureHeaderBytes] = {};
            WrittenTexture written;
            if (std::string failed =
                    out.PutImage(files, image.value, header, kAtTheEnd, read, options, &written);
                !failed.empty()) {
                return Failed("'" + DisplayPath(item.path) + "' " + failed);
            }
            written.index = k;
            written.source = item.path;
            result.written.push_back(written);
            if (options.progress) {
                options.progress(++done, items.size() * out.modes.size(),
                                 std::uint64_t{image.value.width} * image.value.height);
            }
        }
    }
    // What was written reads back as meant.
    CTextureSet check;
    ListingMap checkMap;
    if (std::string failed = out.WriteListing(text, check, checkMap); !failed.empty()) {
        return Failed(failed);
    }
    bool same =
        check.GetEntryCount() == items.size() && check.GetCategoryCount() == categories.size();
    for (std::size_t k = 0; same && k < items.size(); ++k) {
        same = check.GetEntryNameBytes(k) == items[k].name &&
               checkMap.ReadOf(k) == categories.size() + k;
    }
    if (!same) {
        return Failed("cannot make the new listing: it would not read back as written");
    }
    if (std::string failed = out.Commit(); !failed.empty()) {
        return Failed(failed);
    }
    return result;
}

}  // namespace marrowix
