#include "inspect/commands/ExportAll.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <system_error>
#include <thread>

#include "decode/Decode.h"
#include "inspect/commands/CommandSupport.h"
#include "platform/EveryCore.h"

namespace marrowix::inspect {
namespace {

bool IsUnsafe(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == U'/' || c == U'\\' || c == U':' ||
           c == U'*' || c == U'?' || c == U'"' || c == U'<' || c == U'>' || c == U'|' ||
           (c >= 0xD800 && c <= 0xDFFF);
}

bool IsReservedName(const std::string& name) {
    const std::string stem = LowerAscii(name.substr(0, name.find('.')));
    static const std::set<std::string> kReserved = {
        "con",  "prn",  "aux",  "nul",  "com1", "com2", "com3", "com4", "com5", "com6", "com7",
        "com8", "com9", "lpt1", "lpt2", "lpt3", "lpt4", "lpt5", "lpt6", "lpt7", "lpt8", "lpt9"};
    return kReserved.count(stem) != 0;
}

bool Exported(const StoredEntry& e) {
    return CheckEntrySize(e.width, e.height).empty() && e.width > 0 && e.height > 0;
}

// Names in one folder, unique whatever the ASCII case.
class FolderNames {
public:
    bool Take(const std::string& name) { return m_used.insert(LowerAscii(name)).second; }
    bool Has(const std::string& name) const { return m_used.count(LowerAscii(name)) != 0; }

private:
    std::set<std::string> m_used;
};

}  // namespace

std::string SafeFileName(std::u16string_view name) {
    std::u16string safe;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char16_t c = name[i];
        const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() &&
                          name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF;
        if (pair) {
            safe += c;
            safe += name[++i];
        } else {
            safe += IsUnsafe(c) ? u'_' : c;
        }
    }
    // No hidden files, no "." or "..", no trailing blank or dot.
    if (!safe.empty() && safe.front() == u'.') {
        safe.front() = u'_';
    }
    while (!safe.empty() && (safe.back() == u' ' || safe.back() == u'.')) {
        safe.back() = u'_';
    }
    std::string out = ToUtf8(safe);
    if (out.empty() || IsReservedName(out)) {
        out.insert(out.begin(), '_');
    }
    return out;
}

std::vector<std::string> ExportPaths(const CTextureSet& set, const std::string& extension) {
    const std::span<const StoredEntry> entries = set.Entries();
    const std::size_t categories = set.GetCategoryCount();
    // Folders of the categories that have something to export; the root
    // folder's names include them.
    std::vector<std::string> folders(categories);
    std::vector<std::size_t> perFolder(categories + 1, 0);  // the last is the root
    for (const StoredEntry& e : entries) {
        if (Exported(e)) {
            ++perFolder[e.category < categories ? e.category : categories];
        }
    }
    std::vector<FolderNames> names(categories + 1);
    FolderNames& root = names[categories];
    for (std::size_t c = 0; c < categories; ++c) {
        if (perFolder[c] == 0) {
            continue;
        }
        const std::string base = SafeFileName(set.GetCategoryName(c));
        folders[c] = base;
        for (int more = 0; !root.Take(folders[c]); ++more) {
            folders[c] = base + "-" + std::to_string(c) + std::string(more, '~');
        }
    }

    // Names that more than one texture of a folder would take get their
    // entry index added, all of them.
    std::vector<std::string> bases(entries.size());
    std::vector<std::set<std::string>> seen(categories + 1);
    std::vector<std::set<std::string>> shared(categories + 1);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!Exported(entries[i])) {
            continue;
        }
        const std::size_t f = std::min<std::size_t>(entries[i].category, categories);
        bases[i] = SafeFileName(set.GetEntryName(i));
        if (!seen[f].insert(LowerAscii(bases[i])).second) {
            shared[f].insert(LowerAscii(bases[i]));
        }
    }
    std::vector<std::string> paths(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (bases[i].empty()) {
            continue;
        }
        const std::size_t f = std::min<std::size_t>(entries[i].category, categories);
        const std::string suffix = "-" + std::to_string(i);
        std::string name = bases[i];
        if (shared[f].count(LowerAscii(name)) != 0) {
            name += suffix;
        }
        while (!names[f].Take(name + extension)) {
            name += suffix;
        }
        paths[i] = (f < categories ? folders[f] + "/" : std::string()) + name + extension;
    }
    return paths;
}

namespace {

// One image to write: the entry, its folder and its name there.
struct ExportJob {
    std::size_t entry = 0;
    const OutputFolder* folder = nullptr;
    std::string name;
};

// The folders of the export, each made and opened once, never through a
// link; a folder that cannot be had is named once and its textures are
// skipped.
class ExportFolders {
public:
    explicit ExportFolders(OutputFolder top) : m_top(std::move(top)) {}

    // The open folder `name` ("" for the top), or null when it cannot be had.
    const OutputFolder* Get(const std::string& name, std::ostream& err) {
        if (name.empty()) {
            return &m_top;
        }
        auto [at, added] = m_folders.try_emplace(name);
        if (added) {
            at->second.error = m_top.MakeSubfolder(name, &at->second.folder);
            if (!at->second.error.empty()) {
                err << kProgram << ": " << at->second.error << '\n';
            }
        }
        if (!at->second.error.empty()) {
            ++at->second.skipped;
            return nullptr;
        }
        return &at->second.folder;
    }

    // One line for each folder whose textures were skipped; how many in all.
    std::size_t ReportSkipped(std::ostream& err) const {
        std::size_t skipped = 0;
        for (const auto& [name, f] : m_folders) {
            if (f.skipped > 0) {
                err << kProgram << ": skipping " << f.skipped
                    << (f.skipped == 1 ? " texture" : " textures") << " of '"
                    << DisplayPath(m_top.PathOf(name)) << "'\n";
                skipped += f.skipped;
            }
        }
        return skipped;
    }

private:
    struct Folder {
        OutputFolder folder;
        std::string error;
        std::size_t skipped = 0;
    };
    OutputFolder m_top;
    std::map<std::string, Folder> m_folders;
};

}  // namespace

int ExportAll(const CTextureSet& set, const SetFileGuard& guard, const std::string& directory,
              ImageFormat format, Precision precision, std::ostream& err, bool progress) {
    const std::vector<std::string> paths = ExportPaths(set, format == ImageFormat::kPng   ? ".png"
                                                            : format == ImageFormat::kDds ? ".dds"
                                                                                          : ".bmp");
    // The folder given is taken as it is, links and all: the user chose it.
    OutputFolder top;
    if (std::string error = OutputFolder::Make(directory, &top); !error.empty()) {
        err << kProgram << ": " << error << '\n';
        return 1;
    }
    ExportFolders folders(std::move(top));

    std::vector<ExportJob> jobs;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const StoredEntry& e = set.Entries()[i];
        if (paths[i].empty()) {
            std::string why = CheckEntrySize(e.width, e.height);
            if (why.empty()) {
                why = "size " + std::to_string(e.width) + " x " + std::to_string(e.height) +
                      " has no texels";
            }
            err << kProgram << ": skipping " << EntryTitle(set, i) << ": " << why << '\n';
            continue;
        }
        const std::size_t slash = paths[i].find('/');
        const std::string folderName = slash == std::string::npos ? "" : paths[i].substr(0, slash);
        if (const OutputFolder* folder = folders.Get(folderName, err)) {
            jobs.push_back({i, folder, paths[i].substr(slash + 1)});
        }
    }
    const std::size_t skipped = folders.ReportSkipped(err);

    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> failures;  // not yet printed
    std::size_t failed = 0;
    std::size_t done = 0;
    std::atomic<std::size_t> next{0};
    auto exportOne = [&](const ExportJob& job) -> std::string {
        try {
            return ExportEntryImage(*job.folder, job.name, set, job.entry, format, precision,
                                    guard);
        } catch (const std::bad_alloc&) {
            return "not enough memory to export it";
        }
    };
    auto work = [&] {
        for (std::size_t j; (j = next++) < jobs.size();) {
            const ExportJob& job = jobs[j];
            const std::string error = exportOne(job);
            std::lock_guard<std::mutex> hold(lock);
            ++done;
            if (!error.empty()) {
                ++failed;
                try {
                    failures.push_back(std::string(kProgram) + ": cannot write '" +
                                       DisplayPath(job.folder->PathOf(job.name)) + "' (" +
                                       EntryTitle(set, job.entry) + "): " + error);
                } catch (const std::bad_alloc&) {
                    // Counted in the summary all the same.
                }
            }
            changed.notify_one();
        }
    };
    // The textures are written on every core while this thread reports;
    // without a thread to spare, it writes them itself.
    std::thread exporter;
    try {
        exporter = std::thread([&] { RunOnEveryCore(jobs.size(), work); });
    } catch (const std::system_error&) {
        RunOnEveryCore(jobs.size(), work);
    }

    const auto start = std::chrono::steady_clock::now();
    auto shown = start;
    bool progressShown = false;
    {
        std::unique_lock<std::mutex> hold(lock);
        for (;;) {
            if (progressShown && !failures.empty()) {
                err << "\r\033[K";
            }
            for (const std::string& line : failures) {
                err << line << '\n';
            }
            failures.clear();
            const auto now = std::chrono::steady_clock::now();
            if (progress && (now - shown > std::chrono::milliseconds(100) || done == jobs.size())) {
                shown = now;
                const double seconds = std::chrono::duration<double>(now - start).count();
                char line[128];
                std::snprintf(line, sizeof line, "\r\033[Kexported %zu/%zu textures (%.0f/s)", done,
                              jobs.size(), seconds > 0 ? double(done) / seconds : 0.0);
                err << line << std::flush;
                progressShown = true;
            }
            if (done == jobs.size()) {
                break;
            }
            changed.wait_for(hold, std::chrono::milliseconds(200));
        }
    }
    if (exporter.joinable()) {
        exporter.join();
    }
    if (progressShown) {
        err << '\n';
    }
    if (failed + skipped > 0) {
        err << kProgram << ": " << failed + skipped << " of " << jobs.size() + skipped
            << " textures could not be written\n";
        return 1;
    }
    return 0;
}

int Execute(const ExportAllCommand& c, Io& io) {
    CTextureSet set;
    bool partial = false;
    if (!OpenForCommand(set, c.set, io, &partial)) {
        return 1;
    }
    io.doing = "export the set";
    const int code = ExportAll(set, SetFileGuard(set), c.directory, c.format, c.precision, io.err,
                               io.errIsTerminal);
    return WholeSetCode(code, partial, io.err);
}

}  // namespace marrowix::inspect
