// --pack: a new set of a folder's images, a category a subfolder, each
// texture measured as it goes in.
#include <algorithm>
#include <filesystem>
#include <map>

#include "inspect/cli/OptionTable.h"
#include "inspect/commands/CommandSupport.h"
#include "inspect/commands/Repack.h"
#include "platform/Files.h"
#include "textureset/DisplayText.h"

namespace marrowix::inspect {
namespace {

namespace fs = std::filesystem;

// The categories a set's tree can show.
constexpr std::size_t kMaxCategories = 64;

// The images of `folder` a pack takes: subfolders as categories, pictures
// (kPictureExtensions) as textures, all in byte order of their names; what
// it cannot take is refused with the reason (two pictures of one name in a
// category among it), what it does not take is said on `err`.
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
        return IsPictureName(name) ? nullptr
                                   : "not a picture (.png, .dds, .jpg, .jpeg, .tga or .bmp)";
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
    std::map<std::pair<int, std::string>, const PackItem*> named;
    for (const PackItem& item : items) {
        if (std::string why = CheckPackName(item.name, false); !why.empty()) {
            return "'" + DisplayPath(item.path) + "': " + why;
        }
        const auto [it, fresh] = named.try_emplace({item.category, item.name}, &item);
        if (!fresh) {
            return "'" + DisplayPath(it->second->path) + "' and '" + DisplayPath(item.path) +
                   "' are two pictures of one texture: one picture a name";
        }
    }
    return {};
}

}  // namespace

int Execute(const PackCommand& c, Io& io) {
    io.doing = "write the new set";
    const RepackOptions options = OptionsFor(c.repack, c.mode, io);
    std::vector<std::string> categories;
    std::vector<PackItem> items;
    if (std::string error = CollectPack(c.folder, categories, items, io.err); !error.empty()) {
        io.err << kProgram << ": cannot pack: " << error << '\n';
        return 1;
    }
    const RepackResult result = PackTextures(categories, items, c.repack.outputSet, options);
    auto title = [&](std::size_t index) {
        const PackItem& item = items[index];
        return "\"" +
               DisplayPath((item.category < 0 ? "" : categories[item.category] + "/") + item.name) +
               "\"";
    };
    return Report(result, {}, "packed ", title, c.repack.json, io);
}

}  // namespace marrowix::inspect
