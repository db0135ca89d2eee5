// --replace-from: a new set in which every image of a folder (as
// --export-all wrote it, PNG or DDS) whose pixels, or blocks, changed
// replaces its entry.
#include <filesystem>
#include <map>

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
    // Each entry's picture as --export-all names it, in either format it
    // writes that can be taken back.
    const std::vector<std::string> pngs = ExportPaths(set, ".png");
    const std::vector<std::string> ddss = ExportPaths(set, ".dds");
    FoldedNames folded;
    for (std::size_t i = 0; i < pngs.size(); ++i) {
        if (pngs[i].empty()) {
            continue;
        }
        const std::string png = c.folder + "/" + pngs[i];
        const std::string dds = c.folder + "/" + ddss[i];
        const std::string whyPng = WhyNotFound(platform::FsPath(png), folded);
        const std::string whyDds = WhyNotFound(platform::FsPath(dds), folded);
        if (whyPng.empty() && whyDds.empty()) {
            notWritten.push_back({i,
                                  png,
                                  {},
                                  "both '" + DisplayPath(png) + "' and '" + DisplayPath(dds) +
                                      "' are there: one picture an entry"});
            continue;
        }
        if (!whyPng.empty() && !whyDds.empty()) {
            // A link to nothing or a name in another case says more than
            // a plain absence.
            const bool onlyAbsent = whyDds.rfind("no '", 0) == 0;
            notWritten.push_back({i, png, {}, onlyAbsent ? whyPng : whyDds});
            continue;
        }
        const std::string path = whyPng.empty() ? png : dds;
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
