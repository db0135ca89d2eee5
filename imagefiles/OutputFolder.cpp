#include "imagefiles/OutputFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

FileIdentity IdentityOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::string Quoted(const std::string& path) {
    return "'" + DisplayPath(path) + "'";
}

// A native path's folder ("." for a bare name) and final name.
void SplitPath(const std::string& path, std::string* folder, std::string* name) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        *folder = ".";
        *name = path;
    } else {
        *folder = slash == 0 ? "/" : path.substr(0, slash);
        *name = path.substr(slash + 1);
    }
}

bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

OutputFolder::~OutputFolder() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

OutputFolder::OutputFolder(OutputFolder&& other) noexcept
    : m_fd(other.m_fd), m_path(std::move(other.m_path)) {
    other.m_fd = -1;
}

OutputFolder& OutputFolder::operator=(OutputFolder&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = other.m_fd;
        m_path = std::move(other.m_path);
        other.m_fd = -1;
    }
    return *this;
}

std::string OutputFolder::PathOf(const std::string& name) const {
    if (m_path.empty() || m_path == ".") {
        return name;
    }
    return m_path.back() == '/' ? m_path + name : m_path + "/" + name;
}

std::string OutputFolder::Open(const std::string& path, OutputFolder* folder) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return "cannot open the folder " + Quoted(path) + ": " +
               (error == ENOTDIR ? std::string("not a folder") : ErrnoText(error));
    }
    *folder = OutputFolder();
    folder->m_fd = fd;
    folder->m_path = path;
    return {};
}

std::string OutputFolder::Make(const std::string& path, OutputFolder* folder,
                               std::vector<std::string>* made) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && ::stat(path.c_str(), &st) != 0 &&
        errno == ENOENT) {
        return Quoted(path) + " is a symbolic link to a missing folder";
    }
    // The folders missing on the way, deepest first, are the ones made.
    std::vector<std::string> missing;
    for (std::filesystem::path p(path);
         !p.empty() && ::lstat(p.c_str(), &st) != 0 && errno == ENOENT; p = p.parent_path()) {
        missing.push_back(p.native());
        if (p == p.parent_path()) {
            break;
        }
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path), ec);
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
        if (::rmdir(path.c_str()) != 0) {
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
    if (::mkdirat(m_fd, name.c_str(), 0777) != 0 && errno != EEXIST) {
        return "cannot make the folder " + shown + ": " + ErrnoText(errno);
    }
    const int fd = ::openat(m_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        struct stat st {};
        if (::fstatat(m_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            if (S_ISLNK(st.st_mode)) {
                return path + " is a symbolic link; not followed";
            }
            if (!S_ISDIR(st.st_mode)) {
                return path + " is not a folder";
            }
        }
        return "cannot open the folder " + shown + ": " + ErrnoText(error);
    }
    *folder = OutputFolder();
    folder->m_fd = fd;
    folder->m_path = PathOf(name);
    return {};
}

std::string OpenFolderOf(const std::string& path, OutputFolder* folder, std::string* name,
                         bool make, std::vector<std::string>* made) {
    std::string folderPath;
    SplitPath(path, &folderPath, name);
    if (!IsPlainName(*name)) {
        return "not a file name";
    }
    return make ? OutputFolder::Make(folderPath, folder, made)
                : OutputFolder::Open(folderPath, folder);
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
    struct stat st {};
    // The name itself, and what it leads to where it is a link.
    for (const int flags : {AT_SYMLINK_NOFOLLOW, 0}) {
        if (::fstatat(folder.Descriptor(), name.c_str(), &st, flags) == 0) {
            if (std::string refusal = Refusal(IdentityOf(st)); !refusal.empty()) {
                return refusal;
            }
        }
    }
    // A file of the set that does not exist yet: its folder and name.
    if (::fstat(folder.Descriptor(), &st) == 0) {
        for (const Guarded& g : m_files) {
            if (g.folderKnown && g.folder == IdentityOf(st) && g.name == name) {
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
    return name + ".partial-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
}

std::string PendingFile::Make(const OutputFolder& folder, const std::string& name,
                              const SetFileGuard& guard, std::unique_ptr<PendingFile>* out) {
    if (!IsPlainName(name)) {
        return "not a file name";
    }
    if (std::string refusal = guard.Refusal(folder, name); !refusal.empty()) {
        return refusal;
    }
    const int dir = folder.Descriptor();
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < kTemporaryAttempts && fd < 0; ++attempt) {
        temp = TemporaryName(name, attempt);
        fd = ::openat(dir, temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            return ErrnoText(errno);
        }
    }
    if (fd < 0) {
        return "cannot make a temporary file beside " + Quoted(folder.PathOf(name)) +
               ": every name tried exists";
    }
    std::unique_ptr<PendingFile> pending(new PendingFile(folder, name, guard, temp, fd));
    pending->m_signalSlot = RemoveOnSignals(dir, pending->m_temp.c_str());
    struct stat st {};
    if (std::string error =
            ::fstat(fd, &st) != 0 ? ErrnoText(errno) : guard.Refusal(IdentityOf(st));
        !error.empty()) {
        return error;  // the temporary goes with `pending`
    }
    *out = std::move(pending);
    return {};
}

PendingFile::~PendingFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (!m_committed) {
        ::unlinkat(m_folder.Descriptor(), m_temp.c_str(), 0);
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
    const int dir = m_folder.Descriptor();
    if (::renameat(dir, m_name.c_str(), dir, m_temp.c_str()) != 0) {
        return ErrnoText(errno);
    }
    m_committed = false;
    m_signalSlot = RemoveOnSignals(dir, m_temp.c_str());
    return {};
}

std::string PendingFile::Commit() {
    if (m_fd >= 0 && ::close(m_fd) != 0) {
        m_fd = -1;
        return ErrnoText(errno);
    }
    m_fd = -1;
    // Once more just before the rename, in case the name changed meanwhile.
    if (std::string refusal = m_guard.Refusal(m_folder, m_name); !refusal.empty()) {
        return refusal;
    }
    const int dir = m_folder.Descriptor();
    if (::renameat(dir, m_temp.c_str(), dir, m_name.c_str()) != 0) {
        return ErrnoText(errno);
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
    const int fd = ::dup(pending->Descriptor());
    std::FILE* file = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
    if (file == nullptr) {
        const std::string error = ErrnoText(errno);
        if (fd >= 0) {
            ::close(fd);
        }
        return error;
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
