// Files and folders on Linux and other POSIX systems: descriptors, the *at
// calls relative to an open folder, O_NOFOLLOW.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/Files.h"

namespace marrowix::platform {
namespace {

FileIdentity IdentityOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

Kind KindOf(const struct stat& st) {
    return S_ISREG(st.st_mode)   ? Kind::kFile
           : S_ISDIR(st.st_mode) ? Kind::kFolder
           : S_ISLNK(st.st_mode) ? Kind::kLink
                                 : Kind::kOther;
}

int Closed(int& fd) {
    const int result = fd >= 0 && ::close(fd) != 0 ? errno : 0;
    fd = -1;
    return result;
}

}  // namespace

File::~File() {
    Closed(m_handle);
}

File::File(File&& other) noexcept : m_handle(std::exchange(other.m_handle, -1)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Closed(m_handle);
        m_handle = std::exchange(other.m_handle, -1);
    }
    return *this;
}

int File::OpenForReading(const std::string& path, File* out, Kind* kind) {
    // Non-blocking, so that a FIFO without a writer cannot hold the open;
    // the file's kind is then checked on the open descriptor itself.
    File file;
    file.m_handle = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file.m_handle < 0) {
        return errno;
    }
    struct stat st {};
    if (::fstat(file.m_handle, &st) != 0) {
        return errno;
    }
    *kind = KindOf(st);
    *out = std::move(file);
    return 0;
}

bool File::IsOpen() const {
    return m_handle >= 0;
}

int File::ReadAt(std::uint64_t at, void* data, std::size_t n, std::size_t* got) const {
    auto* out = static_cast<unsigned char*>(data);
    *got = 0;
    while (*got < n) {
        const ssize_t r = ::pread(m_handle, out + *got, n - *got, static_cast<off_t>(at + *got));
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r < 0) {
            return errno;
        }
        if (r == 0) {
            break;
        }
        *got += static_cast<std::size_t>(r);
    }
    return 0;
}

int File::WriteAt(std::uint64_t at, const void* data, std::size_t n) const {
    const auto* in = static_cast<const unsigned char*>(data);
    while (n > 0) {
        const ssize_t w = ::pwrite(m_handle, in, n, static_cast<off_t>(at));
        if (w < 0 && errno == EINTR) {
            continue;
        }
        if (w <= 0) {
            return w < 0 ? errno : EIO;
        }
        in += w;
        at += static_cast<std::uint64_t>(w);
        n -= static_cast<std::size_t>(w);
    }
    return 0;
}

int File::Size(std::uint64_t* size) const {
    struct stat st {};
    if (::fstat(m_handle, &st) != 0) {
        return errno;
    }
    *size = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    return 0;
}

int File::Resize(std::uint64_t size) const {
    return ::ftruncate(m_handle, static_cast<off_t>(size)) == 0 ? 0 : errno;
}

int File::Identity(FileIdentity* identity) const {
    struct stat st {};
    if (::fstat(m_handle, &st) != 0) {
        return errno;
    }
    *identity = IdentityOf(st);
    return 0;
}

int File::CopyFrom(const File& from, std::uint64_t n, std::uint64_t* done) const {
    *done = 0;
#if defined(__linux__)
    loff_t inAt = 0;
    loff_t outAt = 0;
    while (*done < n) {
        const ssize_t c = ::copy_file_range(from.m_handle, &inAt, m_handle, &outAt,
                                            static_cast<std::size_t>(n - *done), 0);
        if (c > 0) {
            *done += static_cast<std::uint64_t>(c);
            continue;
        }
        if (c < 0 && errno == EINTR) {
            continue;
        }
        if (c == 0 || errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) {
            return 0;  // the rest by hand
        }
        return errno;
    }
#else
    (void)from;
    (void)n;
#endif
    return 0;
}

std::FILE* File::OpenStream() const {
    const int fd = ::dup(m_handle);
    std::FILE* stream = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
    if (stream == nullptr && fd >= 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
    return stream;
}

int File::Close() {
    return Closed(m_handle);
}

std::string File::ReadBackPath(const std::string& knownPath) const {
#if defined(__linux__)
    (void)knownPath;
    return "/proc/self/fd/" + std::to_string(m_handle);
#else
    return knownPath;
#endif
}

Folder::~Folder() {
    Closed(m_handle);
}

Folder::Folder(Folder&& other) noexcept : m_handle(std::exchange(other.m_handle, -1)) {}

Folder& Folder::operator=(Folder&& other) noexcept {
    if (this != &other) {
        Closed(m_handle);
        m_handle = std::exchange(other.m_handle, -1);
    }
    return *this;
}

int Folder::Open(const std::string& path, Folder* out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    *out = Folder();
    out->m_handle = fd;
    return 0;
}

bool Folder::IsOpen() const {
    return m_handle >= 0;
}

int Folder::OpenChild(const std::string& name, Folder* out) const {
    const int fd =
        ::openat(m_handle, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        Kind kind = Kind::kOther;
        if (Inspect(name, false, &kind, nullptr) == 0) {
            return kind == Kind::kLink ? ELOOP : kind != Kind::kFolder ? ENOTDIR : error;
        }
        return error;
    }
    *out = Folder();
    out->m_handle = fd;
    return 0;
}

int Folder::MakeChild(const std::string& name) const {
    return ::mkdirat(m_handle, name.c_str(), 0777) == 0 ? 0 : errno;
}

int Folder::Inspect(const std::string& name, bool follow, Kind* kind,
                    FileIdentity* identity) const {
    struct stat st {};
    if (::fstatat(m_handle, name.c_str(), &st, follow ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
        return errno;
    }
    if (kind != nullptr) {
        *kind = KindOf(st);
    }
    if (identity != nullptr) {
        *identity = IdentityOf(st);
    }
    return 0;
}

int Folder::Identity(FileIdentity* identity) const {
    struct stat st {};
    if (::fstat(m_handle, &st) != 0) {
        return errno;
    }
    *identity = IdentityOf(st);
    return 0;
}

int Folder::CreateNew(const std::string& name, File* out) const {
    const int fd =
        ::openat(m_handle, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        return errno;
    }
    *out = File();
    out->m_handle = fd;
    return 0;
}

int Folder::Remove(const std::string& name) const {
    return ::unlinkat(m_handle, name.c_str(), 0) == 0 ? 0 : errno;
}

int Folder::Rename(const std::string& from, const std::string& to, bool replace) const {
    if (replace) {
        return ::renameat(m_handle, from.c_str(), m_handle, to.c_str()) == 0 ? 0 : errno;
    }
#if defined(__linux__)
    if (::renameat2(m_handle, from.c_str(), m_handle, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
#endif
    // A file system without the flag: look first.
    struct stat st {};
    if (::fstatat(m_handle, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        return EEXIST;
    }
    return ::renameat(m_handle, from.c_str(), m_handle, to.c_str()) == 0 ? 0 : errno;
}

bool IdentifyPath(const std::string& path, FileIdentity* identity) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return false;
    }
    *identity = IdentityOf(st);
    return true;
}

int InspectPath(const std::string& path, Kind* kind) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return errno;
    }
    *kind = KindOf(st);
    return 0;
}

std::string ChangeStamp(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return "-";
    }
#if defined(__APPLE__)
    const auto& changed = st.st_mtimespec;
#else
    const auto& changed = st.st_mtim;
#endif
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" +
           std::to_string(st.st_size) + ":" + std::to_string(changed.tv_sec) + "." +
           std::to_string(changed.tv_nsec);
}

int RemoveEmptyFolder(const std::string& path) {
    return ::rmdir(path.c_str()) == 0 ? 0 : errno;
}

bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

bool SameName(const std::string& a, const std::string& b) {
    return a == b;
}

std::size_t LastSeparator(const std::string& path) {
    return path.find_last_of('/');
}

long ProcessId() {
    return static_cast<long>(::getpid());
}

std::filesystem::path FsPath(const std::string& path) {
    return std::filesystem::path(path);
}

std::string NativeOf(const std::filesystem::path& path) {
    return path.native();
}

}  // namespace marrowix::platform
