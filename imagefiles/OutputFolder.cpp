#include "imagefiles/OutputFolder.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/SignalCleanup.h"
#include "textureset/DisplayText.h"

namespace marrowix {
namespace {

std::string ErrnoText(int error) {
    return std::generic_category().message(error);
}

std::string Quoted(const std::string& path) {
    return "'" + DisplayPath(path) + "'";
}

// A native path's folder ("." for a bare name) and final name.
void SplitPath(const std::string& path, std::string* folder, std::string* name) {
    const std::size_t slash = platform::LastSeparator(path);
    if (slash == std::string::npos) {
        *folder = ".";
        *name = path;
    } else {
        // The root keeps its separator ("/", "C:\\"): "C:" alone is elsewhere.
        const bool root = slash == 0 || (slash == 2 && path[1] == ':');
        *folder = root ? path.substr(0, slash + 1) : path.substr(0, slash);
        *name = path.substr(slash + 1);
    }
}

bool IsPlainName(const std::string& name) {
    return platform::IsPlainName(name);
}

}  // namespace

std::string OutputFolder::PathOf(const std::string& name) const {
    if (m_path.empty() || m_path == ".") {
        return name;
    }
    const char last = m_path.back();
    const bool separated = platform::LastSeparator(std::string(1, last)) == 0;
    return separated ? m_path + name : m_path + m_separator + name;
}

namespace {

// The separator a path's user wrote, or the system's own where it has none.
char SeparatorOf(const std::string& path) {
    const std::size_t at = platform::LastSeparator(path);
    return at == std::string::npos ? platform::kSeparator : path[at];
}

}  // namespace

std::string OutputFolder::Open(const std::string& path, OutputFolder* folder) {
    *folder = OutputFolder();
    if (const int error = platform::Folder::Open(path, &folder->m_folder); error != 0) {
        return "cannot open the folder " + Quoted(path) + ": " +
               (error == ENOTDIR ? std::string("not a folder") : ErrnoText(error));
    }
    folder->m_path = path;
    folder->m_separator = SeparatorOf(path);
    return {};
}

std::string OutputFolder::Make(const std::string& path, OutputFolder* folder,
                               std::vector<std::string>* made) {
    platform::Kind kind = platform::Kind::kOther;
    FileIdentity target;
    if (platform::InspectPath(path, &kind) == 0 && kind == platform::Kind::kLink &&
        !platform::IdentifyPath(path, &target)) {
        return Quoted(path) + " is a symbolic link to a missing folder";
    }
    // The folders missing on the way, deepest first, are the ones made.
    std::vector<std::string> missing;
    for (std::filesystem::path p = platform::FsPath(path);
         !p.empty() && platform::InspectPath(platform::NativeOf(p), &kind) == ENOENT;
         p = p.parent_path()) {
        missing.push_back(platform::NativeOf(p));
        if (p == p.parent_path()) {
            break;
        }
    }
    std::error_code ec;
    std::filesystem::create_directories(platform::FsPath(path), ec);
    if (ec) {
        RemoveMadeFolders(missing);
        return "cannot make the folder " + Quoted(path) + ": " + ec.message();
    }
    if (std::string error = Open(path, folder); !error.empty()) {
        RemoveMadeFolders(missing);
        return error;
    }
    if (made != nullptr) {
        *made = std::move(missing);
    }
    return {};
}

void RemoveMadeFolders(const std::vector<std::string>& made) {
    for (const std::string& path : made) {
        if (platform::RemoveEmptyFolder(path) != 0) {
            break;  // not empty: something else is in it now
        }
    }
}

std::string OutputFolder::MakeSubfolder(const std::string& name, OutputFolder* folder) const {
    const std::string path = DisplayPath(PathOf(name));
    const std::string shown = "'" + path + "'";
    if (!IsPlainName(name)) {
        return "cannot make the folder " + shown + ": not a plain name";
    }
    if (const int error = m_folder.MakeChild(name); error != 0 && error != EEXIST) {
        return "cannot make the folder " + shown + ": " + ErrnoText(error);
    }
    *folder = OutputFolder();
    if (const int error = m_folder.OpenChild(name, &folder->m_folder); error != 0) {
        if (error == ELOOP) {
            return path + " is a symbolic link; not followed";
        }
        if (error == ENOTDIR) {
            return path + " is not a folder";
        }
        return "cannot open the folder " + shown + ": " + ErrnoText(error);
    }
    folder->m_path = PathOf(name);
    folder->m_separator = m_separator;
    return {};
}

std::string OpenFolderOf(const std::string& path, OutputFolder* folder, std::string* name,
                         bool make, std::vector<std::string>* made) {
    std::string folderPath;
    SplitPath(path, &folderPath, name);
    if (!IsPlainName(*name)) {
        return "not a file name";
    }
    std::string error = make ? OutputFolder::Make(folderPath, folder, made)
                             : OutputFolder::Open(folderPath, folder);
    folder->m_separator = SeparatorOf(path);
    return error;
}

SetFileGuard::SetFileGuard(const CTextureSet& set) {
    Add(set);
}

void SetFileGuard::Add(const CTextureSet& set) {
    const std::pair<const char*, std::pair<const std::u16string*, const InputFile*>> files[] = {
        {"listing", {&set.ListingPath(), set.GetListingFile()}},
        {"offset table", {&set.OffsetTablePath(), set.GetOffsetTableFile()}},
        {"data file", {&set.DataPath(), set.GetDataFile()}}};
    for (const auto& [what, file] : files) {
        AddFile(ToNativePath(*file.first), file.second,
                std::string("it is the set's own ") + what + "; the set's files are never written");
    }
}

void SetFileGuard::AddImage(const std::string& nativePath) {
    AddFile(nativePath, nullptr,
            "it is " + Quoted(nativePath) + ", an image being read; images read are never written");
}

void SetFileGuard::AddFile(const std::string& native, const InputFile* open, std::string why) {
    Guarded g;
    g.why = std::move(why);
    if (open != nullptr) {
        g.known = true;
        g.identity = open->Identity();
    } else {
        g.known = IdentifyFile(native, &g.identity);
    }
    std::string folder;
    SplitPath(native, &folder, &g.name);
    g.folderKnown = IdentifyFile(folder, &g.folder);
    m_files.push_back(std::move(g));
}

namespace {

std::string Refused(const std::string& why) {
    return "refused: " + why;
}

}  // namespace

std::string SetFileGuard::Refusal(const OutputFolder& folder, const std::string& name) const {
    // The name itself, and what it leads to where it is a link.
    for (const bool follow : {false, true}) {
        FileIdentity identity;
        if (folder.Handle().Inspect(name, follow, nullptr, &identity) == 0) {
            if (std::string refusal = Refusal(identity); !refusal.empty()) {
                return refusal;
            }
        }
    }
    // A file of the set that does not exist yet: its folder and name.
    if (FileIdentity here; folder.Handle().Identity(&here) == 0) {
        for (const Guarded& g : m_files) {
            if (g.folderKnown && g.folder == here && platform::SameName(g.name, name)) {
                return Refused(g.why);
            }
        }
    }
    return {};
}

std::string SetFileGuard::Refusal(const FileIdentity& identity) const {
    for (const Guarded& g : m_files) {
        if (g.known && g.identity == identity) {
            return Refused(g.why);
        }
    }
    return {};
}

std::string TemporaryName(const std::string& name, int attempt) {
    return name + ".partial-" + std::to_string(platform::ProcessId()) + "-" +
           std::to_string(attempt);
}

std::string PendingFile::Make(const OutputFolder& folder, const std::string& name,
                              const SetFileGuard& guard, std::unique_ptr<PendingFile>* out) {
    if (!IsPlainName(name)) {
        return "not a file name";
    }
    if (std::string refusal = guard.Refusal(folder, name); !refusal.empty()) {
        return refusal;
    }
    const platform::Folder& dir = folder.Handle();
    std::string temp;
    platform::File file;
    for (int attempt = 0; attempt < kTemporaryAttempts && !file.IsOpen(); ++attempt) {
        temp = TemporaryName(name, attempt);
        if (const int error = dir.CreateNew(temp, &file); error != 0 && error != EEXIST) {
            return ErrnoText(error);
        }
    }
    if (!file.IsOpen()) {
        return "cannot make a temporary file beside " + Quoted(folder.PathOf(name)) +
               ": every name tried exists";
    }
    std::unique_ptr<PendingFile> pending(
        new PendingFile(folder, name, guard, temp, std::move(file)));
    pending->m_signalSlot = RemoveOnSignals(dir, pending->m_temp);
    FileIdentity identity;
    const int identified = pending->m_file.Identity(&identity);
    if (std::string error = identified != 0 ? ErrnoText(identified) : guard.Refusal(identity);
        !error.empty()) {
        return error;  // the temporary goes with `pending`
    }
    *out = std::move(pending);
    return {};
}

PendingFile::~PendingFile() {
    m_file.Close();
    if (!m_committed) {
        m_folder.Handle().Remove(m_temp);
    }
    Forget();
}

void PendingFile::Forget() {
    ForgetOnSignals(m_signalSlot);
    m_signalSlot = -1;
}

std::string PendingFile::Uncommit() {
    if (!m_committed) {
        return {};
    }
    const platform::Folder& dir = m_folder.Handle();
    if (const int error = dir.Rename(m_name, m_temp, true); error != 0) {
        return ErrnoText(error);
    }
    m_committed = false;
    m_signalSlot = RemoveOnSignals(dir, m_temp);
    return {};
}

std::string PendingFile::Commit() {
    if (const int error = m_file.Close(); error != 0) {
        return ErrnoText(error);
    }
    // Once more just before the rename, in case the name changed meanwhile.
    if (std::string refusal = m_guard.Refusal(m_folder, m_name); !refusal.empty()) {
        return refusal;
    }
    if (const int error = m_folder.Handle().Rename(m_temp, m_name, true); error != 0) {
        return ErrnoText(error);
    }
    m_committed = true;
    Forget();
    return {};
}

std::string WriteFileAtomically(const OutputFolder& folder, const std::string& name,
                                const SetFileGuard& guard,
                                const std::function<std::string(std::FILE*)>& write) {
    std::unique_ptr<PendingFile> pending;
    if (std::string error = PendingFile::Make(folder, name, guard, &pending); !error.empty()) {
        return error;
    }
    std::FILE* file = pending->Handle().OpenStream();
    if (file == nullptr) {
        return ErrnoText(errno);
    }
    std::string error = write(file);
    if (error.empty() && std::fflush(file) != 0) {
        error = ErrnoText(errno);
    }
    if (std::fclose(file) != 0 && error.empty()) {
        error = ErrnoText(errno);
    }
    return error.empty() ? pending->Commit() : error;
}

}  // namespace marrowix
