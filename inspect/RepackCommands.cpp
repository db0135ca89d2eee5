// --replace, --replace-from and --pack: new sets written from images, each
// texture measured as it goes in.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>

#include "compare/Compare.h"
#include "decode/Decode.h"
#include "inspect/ExportAll.h"
#include "inspect/Inspect.h"
#include "platform/Files.h"
#include "repack/SetWriter.h"
#include "textureset/PreviewImage.h"

namespace marrowix::inspect {
namespace {

namespace fs = std::filesystem;

// The categories a set's tree can show.
constexpr std::size_t kMaxCategories = 64;

// What happened to one entry of --replace-from that was not written.
struct NotWritten {
    std::size_t index = 0;
    std::string path;
    std::string refused;  // empty: unchanged
    std::string missing;  // not read: why (a missing image, a dangling link)
};

// Whether an image holds the entry's image exactly, at either depth
// --export-all writes (8-bit, or each nibble widened n x 17): "" when it
// does, "differs" when it does not, else why they could not be compared.
std::string SameAsEntry(const CTextureSet& set, std::size_t index, const InputImage& image) {
    const StoredEntry& e = set.Entries()[index];
    if (std::uint64_t(e.width) != image.width || std::uint64_t(e.height) != image.height) {
        return "differs";
    }
    for (const Precision precision : {Precision::kFull, Precision::kNibbles}) {
        const Result<Buffer<std::uint8_t>> dib = BuildImageDib(set, index, precision);
        if (!dib.ok()) {
            return "cannot compare it with the entry's texels: " + dib.error;
        }
        const std::uint8_t* pixels = dib.value.data() + kDibHeaderSize;  // bottom-up BGRA
        bool same = true;
        for (std::uint32_t y = 0; same && y < image.height; ++y) {
            const std::uint8_t* from = pixels + std::size_t{image.height - 1 - y} * image.width * 4;
            const std::uint8_t* to = image.rgba.data() + std::size_t{y} * image.width * 4;
            for (std::uint32_t x = 0; same && x < image.width * 4; x += 4) {
                same = from[x] == to[x + 2] && from[x + 1] == to[x + 1] && from[x + 2] == to[x] &&
                       from[x + 3] == to[x + 3];
            }
        }
        if (same) {
            return {};
        }
    }
    return "differs";
}

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return text;
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

// The images of `folder` a pack takes: subfolders as categories, .png and
// .dds files as textures, all in byte order of their names; what it cannot
// take is refused with the reason, what it does not take is said on `err`.
std::string CollectPack(const std::string& folder, std::vector<std::string>& categories,
                        std::vector<PackItem>& items, std::ostream& err) {
    auto sorted = [](const fs::path& dir, std::error_code& ec) {
        std::vector<fs::directory_entry> entries;
        for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator();
             it.increment(ec)) {
            entries.push_back(*it);
        }
        std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
            return platform::NativeOf(a.path().filename()) <
                   platform::NativeOf(b.path().filename());
        });
        return entries;
    };
    // Why a folder's entry is not taken as an image, or null.
    auto NotTaken = [](const fs::directory_entry& f, std::error_code& ec,
                       bool inCategory) -> const char* {
        if (f.is_symlink(ec) && !f.exists(ec)) {
            return "a symbolic link to nothing";
        }
        if (f.is_directory(ec)) {
            return inCategory ? "a folder: categories do not nest" : nullptr;
        }
        const std::string name = platform::NativeOf(f.path().filename());
        return EndsWithNoCase(name, ".png") || EndsWithNoCase(name, ".dds")
                   ? nullptr
                   : "not a .png or .dds file";
    };
    std::error_code ec;
    const std::vector<fs::directory_entry> top = sorted(platform::FsPath(folder), ec);
    if (ec) {
        return "cannot read the folder '" + DisplayPath(folder) + "': " + ec.message();
    }
    std::vector<PackItem> roots;
    for (const fs::directory_entry& e : top) {
        const std::string name = platform::NativeOf(e.path().filename());
        if (e.is_directory(ec)) {
            if (std::string why = CheckPackName(name, true); !why.empty()) {
                return "'" + DisplayPath(platform::NativeOf(e.path())) + "': " + why;
            }
            if (categories.size() == kMaxCategories) {
                return "'" + DisplayPath(folder) + "' has more than " +
                       std::to_string(kMaxCategories) + " subfolders: a set has at most " +
                       std::to_string(kMaxCategories) + " categories";
            }
            const int category = static_cast<int>(categories.size());
            categories.push_back(name);
            for (const fs::directory_entry& f : sorted(e.path(), ec)) {
                std::error_code fileEc;
                if (const char* why = NotTaken(f, fileEc, true); why != nullptr) {
                    err << kProgram << ": ignored: '" << DisplayPath(platform::NativeOf(f.path()))
                        << "' (" << why << ")\n";
                } else {
                    items.push_back({category, platform::NativeOf(f.path().stem()),
                                     platform::NativeOf(f.path())});
                }
            }
            if (ec) {
                return "cannot read the folder '" + DisplayPath(platform::NativeOf(e.path())) +
                       "': " + ec.message();
            }
        } else if (const char* why = NotTaken(e, ec, false); why != nullptr) {
            err << kProgram << ": ignored: '" << DisplayPath(platform::NativeOf(e.path())) << "' ("
                << why << ")\n";
            ec.clear();
        } else {
            roots.push_back(
                {-1, platform::NativeOf(e.path().stem()), platform::NativeOf(e.path())});
        }
    }
    items.insert(items.end(), roots.begin(), roots.end());
    for (const PackItem& item : items) {
        if (std::string why = CheckPackName(item.name, false); !why.empty()) {
            return "'" + DisplayPath(item.path) + "': " + why;
        }
    }
    return {};
}

std::string WrittenLine(const std::string& what, const WrittenTexture& w) {
    return what + " (" + ModeWord(w.mode) +
           (w.blocksTaken ? ", its DXT5 blocks taken as they are" : "") +
           "): " + DescribeMeasures(w.measures);
}

}  // namespace

int Repack(const Options& o, std::ostream& out, std::ostream& err, bool errIsTerminal) {
    RepackOptions options;
    options.quality = o.quality == "fast"   ? DxtQuality::kFast
                      : o.quality == "best" ? DxtQuality::kBest
                                            : DxtQuality::kNormal;
    options.dither = o.dither;
    options.failBelow = o.failBelow;
    options.mode = o.modeGiven ? o.mode : "";
    const auto started = std::chrono::steady_clock::now();
    std::uint64_t texels = 0;
    if (errIsTerminal) {
        options.progress = [&](std::size_t done, std::size_t total, std::uint64_t n) {
            texels += n;
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            char line[96];
            std::snprintf(line, sizeof line, "\r%zu of %zu textures, %.1f megapixels a second",
                          done, total, seconds > 0 ? double(texels) / 1e6 / seconds : 0.0);
            err << line << (done == total ? "\n" : "") << std::flush;
        };
    }

    options.overwrite = o.overwrite;
    RepackResult result;
    std::vector<NotWritten> notWritten;
    // The listing is read once: the same reading names, pairs and writes.
    SourceSet source;
    const CTextureSet& set = source.InMode(o.mode == "etc" ? kModeEtc : kModeDxt);
    std::vector<std::string> categories;
    std::vector<PackItem> items;
    if (o.command == Command::kPack) {
        if (std::string error = CollectPack(o.source, categories, items, err); !error.empty()) {
            err << kProgram << ": cannot pack: " << error << '\n';
            return 1;
        }
        result = PackTextures(categories, items, o.outputSet, options);
    } else {
        if (std::string error = OpenSourceSet(o.listing, &source); !error.empty()) {
            err << kProgram << ": the new set was not written: " << error << '\n';
            return 1;
        }
        std::vector<Replacement> replacements;
        if (o.command == Command::kReplace) {
            for (const auto& [index, path] : o.replacements) {
                Result<InputImage> image = ReadInputImage(path);
                if (!image.ok()) {
                    err << kProgram << ": cannot replace entry " << index << ": " << image.error
                        << '\n';
                    return 1;
                }
                const std::uint32_t w = image.value.width;
                const std::uint32_t h = image.value.height;
                replacements.push_back({index, path, w, h, std::move(image.value)});
            }
        } else {
            std::error_code ec;
            if (!fs::is_directory(platform::FsPath(o.source), ec)) {
                err << kProgram << ": the new set was not written: cannot read the folder '"
                    << DisplayPath(o.source)
                    << "': " << (ec ? ec.message() : std::string("not a folder")) << '\n';
                return 1;
            }
            const std::vector<std::string> paths = ExportPaths(set, ".png");
            FoldedNames folded;
            for (std::size_t i = 0; i < paths.size(); ++i) {
                const std::string path = o.source + "/" + paths[i];
                if (paths[i].empty()) {
                    continue;
                }
                if (std::string why = WhyNotFound(platform::FsPath(path), folded); !why.empty()) {
                    notWritten.push_back({i, path, {}, why});
                    continue;
                }
                Result<InputImage> image = ReadInputImage(path);
                std::string same = image.ok() ? SameAsEntry(set, i, image.value) : image.error;
                if (same == "differs") {
                    // Read again when its turn comes: one image in memory at a time.
                    replacements.push_back(
                        {i, path, image.value.width, image.value.height, InputImage{}});
                } else {
                    notWritten.push_back({i, path, std::move(same), {}});
                }
            }
        }
        result = ReplaceTextures(source, o.outputSet, std::move(replacements), options);
    }
    if (!result.error.empty()) {
        err << kProgram << ": the new set was not written: " << result.error << '\n';
        return 1;
    }

    // The report: every texture written, then (--replace-from) the rest.
    auto title = [&](std::size_t index) {
        if (o.command != Command::kPack) {
            return EntryTitle(set, index);
        }
        const PackItem& item = items[index];
        return "\"" +
               DisplayPath((item.category < 0 ? "" : categories[item.category] + "/") + item.name) +
               "\"";
    };
    const char* verb = o.command == Command::kPack ? "packed " : "replaced ";
    std::size_t refused = 0;
    std::string text = o.json ? "{\"written\":[" : "";
    for (std::size_t k = 0; k < result.written.size(); ++k) {
        const WrittenTexture& w = result.written[k];
        if (o.json) {
            text += std::string(k > 0 ? "," : "") + "{\"index\":" + std::to_string(w.index) +
                    ",\"mode\":\"" + ModeWord(w.mode) +
                    "\",\"source\":" + JsonString(FromNativePath(w.source)) +
                    ",\"blocksTaken\":" + (w.blocksTaken ? "true" : "false") + "," +
                    MeasuresJson(w.measures) + "}";
        } else {
            text += WrittenLine(verb + title(w.index), w) + "\n";
        }
    }
    if (o.json) {
        text += "],\"unchanged\":[";
    }
    std::string refusedJson;
    std::string missingJson;
    for (const NotWritten& n : notWritten) {
        refused += n.refused.empty() ? 0 : 1;
        if (o.json) {
            std::string& list = !n.missing.empty()  ? missingJson
                                : n.refused.empty() ? text
                                                    : refusedJson;
            const std::string& why = n.missing.empty() ? n.refused : n.missing;
            list += std::string(list.empty() || list.back() == '[' ? "" : ",") +
                    "{\"index\":" + std::to_string(n.index) +
                    (why.empty() ? "" : ",\"reason\":" + JsonString(FromUtf8(why))) + "}";
        } else {
            text += (!n.missing.empty()  ? "not read " + title(n.index) + ": " + n.missing
                     : n.refused.empty() ? "unchanged " + title(n.index)
                                         : "refused " + title(n.index) + ": " + n.refused) +
                    "\n";
        }
    }
    if (o.json) {
        text += "],\"refused\":[" + refusedJson + "],\"notRead\":[" + missingJson + "]}\n";
    }
    out << text;
    if (refused > 0) {
        err << kProgram << ": " << refused << (refused == 1 ? " image was" : " images were")
            << " refused; the set was written without them\n";
        return 1;
    }
    return 0;
}

}  // namespace marrowix::inspect
