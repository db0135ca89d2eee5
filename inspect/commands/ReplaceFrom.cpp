// --replace-from: a new set in which every image of a folder (as
// --export-all wrote it, PNG or DDS) whose pixels, or blocks, changed
// replaces its entry.
#include <filesystem>
#include <map>

#include "inspect/cli/OptionTable.h"
#include "inspect/commands/CommandSupport.h"
#include "inspect/commands/ExportAll.h"
#include "inspect/commands/Repack.h"
#include "platform/Files.h"
#include "textureset/DisplayText.h"
#include "textureset/PreviewImage.h"
#include "textureset/TexelAccess.h"

namespace marrowix::inspect {
namespace {

namespace fs = std::filesystem;

// Whether an image holds the entry's image exactly, at either depth
// --export-all writes (8-bit, or each nibble widened n x 17): "" when it
// does, "differs" when it does not, else why they could not be compared.
// A DDS of DXT5 blocks read into a "dxt" set is the same when its blocks
// are the entry's, byte for byte.
std::string SameAsEntry(const CTextureSet& set, std::size_t index, const InputImage& image) {
    const StoredEntry& e = set.Entries()[index];
    if (std::uint64_t(e.width) != image.width || std::uint64_t(e.height) != image.height) {
        return "differs";
    }
    if (!image.dxtBlocks.empty() && set.GetMode() == kModeDxt) {
        const TextureEntry entry = set.GetEntry(index);
        std::vector<std::uint8_t> piece(std::min<std::size_t>(image.dxtBlocks.size(), 1 << 20));
        for (std::size_t at = 0; at < image.dxtBlocks.size(); at += piece.size()) {
            const std::size_t n = std::min(piece.size(), image.dxtBlocks.size() - at);
            ReadEntryData(set, entry, at, piece.data(), n);
            if (!std::equal(piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n),
                            image.dxtBlocks.begin() + static_cast<std::ptrdiff_t>(at))) {
                return "differs";
            }
        }
        return {};
    }
    for (const Precision precision : {Precision::kFull, Precision::kNibbles}) {
        const Result<Buffer<std::uint8_t>> dib = BuildImageDib(set, index, precision);
        if (!dib.ok()) {
            return "cannot compare it with the entry's texels: " + dib.error;
        }
        if (SamePixels(*ViewDib(dib.value), image.View())) {
            return {};
        }
    }
    return "differs";
}

// Each folder's names by their lower-case spelling, listed once.
using FoldedNames = std::map<std::string, std::map<std::string, std::string>>;

// Why nothing of `path` can be found: "" when it is there; otherwise what
// the report says of it (a dangling link, a name that differs in case only,
// or nothing there).
std::string WhyNotFound(const fs::path& path, FoldedNames& folders) {
    std::error_code ec;
    const fs::file_status link = fs::symlink_status(path, ec);
    if (fs::is_symlink(link)) {
        return fs::exists(path, ec) ? ""
                                    : "'" + DisplayPath(platform::NativeOf(path)) +
                                          "' is a symbolic link to nothing";
    }
    if (fs::exists(link)) {
        return {};
    }
    const auto [it, fresh] = folders.try_emplace(platform::NativeOf(path.parent_path()));
    if (fresh) {
        for (auto e = fs::directory_iterator(path.parent_path(), ec);
             !ec && e != fs::directory_iterator(); e.increment(ec)) {
            it->second.emplace(LowerAscii(platform::NativeOf(e->path().filename())),
                               platform::NativeOf(e->path().filename()));
        }
    }
    if (const auto found = it->second.find(LowerAscii(platform::NativeOf(path.filename())));
        found != it->second.end()) {
        return "'" +
               DisplayPath(
                   platform::NativeOf((path.parent_path() / platform::FsPath(found->second)))) +
               "' differs from '" + platform::NativeOf(path.filename()) + "' only in case";
    }
    return "no '" + DisplayPath(platform::NativeOf(path)) + "'";
}

}  // namespace

int Execute(const ReplaceFromCommand& c, Io& io) {
    io.doing = "write the new set";
    const RepackOptions options = OptionsFor(c.repack, WrittenMode(c.set), io);
    SourceSet source;
    if (!OpenSource(c.set, &source, io)) {
        return 1;
    }
    const CTextureSet& set = source.InMode(c.set.mode);
    std::error_code ec;
    if (!fs::is_directory(platform::FsPath(c.folder), ec)) {
        io.err << kProgram << ": the new set was not written: cannot read the folder '"
               << DisplayPath(c.folder)
               << "': " << (ec ? ec.message() : std::string("not a folder")) << '\n';
        return 1;
    }
    std::vector<Replacement> replacements;
    std::vector<NotWritten> notWritten;
    // Each entry's picture as --export-all names it, in any format a
    // picture is taken from: one an entry.
    std::vector<std::vector<std::string>> named;
    for (const char* extension : kPictureExtensions) {
        named.push_back(ExportPaths(set, extension));
    }
    FoldedNames folded;
    for (std::size_t i = 0; i < named[0].size(); ++i) {
        if (named[0][i].empty()) {
            continue;
        }
        std::vector<std::string> found;
        std::string why;  // of the PNG, unless another says more than an absence
        for (std::size_t k = 0; k < named.size(); ++k) {
            const std::string candidate = c.folder + "/" + named[k][i];
            std::string missing = WhyNotFound(platform::FsPath(candidate), folded);
            if (missing.empty()) {
                found.push_back(candidate);
            } else if (k == 0 || (why.rfind("no '", 0) == 0 && missing.rfind("no '", 0) != 0)) {
                why = std::move(missing);
            }
        }
        const std::string png = c.folder + "/" + named[0][i];
        if (found.empty()) {
            notWritten.push_back({i, png, {}, why});
            continue;
        }
        if (found.size() > 1) {
            std::vector<std::string> quoted;
            for (const std::string& f : found) {
                quoted.push_back("'" + DisplayPath(f) + "'");
            }
            const std::vector<std::string_view> words(quoted.begin(), quoted.end());
            notWritten.push_back(
                {i, found[0], {}, JoinWords(words) + " are there: one picture an entry"});
            continue;
        }
        const std::string& path = found[0];
        Result<InputImage> image = ReadInputImage(path);
        std::string same = image.ok() ? SameAsEntry(set, i, image.value) : image.error;
        if (same == "differs") {
            // Read again when its turn comes: one image in memory at a time.
            replacements.push_back({i, path, image.value.width, image.value.height, InputImage{}});
        } else {
            notWritten.push_back({i, path, std::move(same), {}});
        }
    }
    const RepackResult result =
        ReplaceTextures(source, c.repack.outputSet, std::move(replacements), options);
    return Report(
        result, notWritten, "replaced ", [&](std::size_t index) { return EntryTitle(set, index); },
        c.repack.json, io);
}

}  // namespace marrowix::inspect
