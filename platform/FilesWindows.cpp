// Files and folders on Windows: wide paths end to end, positioned reads and
// writes through OVERLAPPED offsets, identity from the volume's serial
// number and the file's index, reparse points (symbolic links, junctions)
// refused where links are, and every file opened so that others may still
// rename and remove it, as on Linux.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <utility>

#include "platform/Files.h"
#include "platform/WindowsHandles.h"

namespace marrowix::platform {
namespace {

using namespace windows;

OVERLAPPED At(std::uint64_t at) {
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(at);
    o.OffsetHigh = static_cast<DWORD>(at >> 32);
    return o;
}

constexpr std::size_t kChunk = std::size_t{1} << 30;

}  // namespace

File::~File() {
    Closed(m_handle);
}

File::File(File&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Closed(m_handle);
        m_handle = std::exchange(other.m_handle, nullptr);
    }
    return *this;
}

int File::OpenForReading(const std::string& path, File* out, Kind* kind) {
    // A pipe or a device is opened without waiting and refused by its kind.
    HANDLE h = OpenExisting(Widen(path), GENERIC_READ, true);
    if (!Valid(h)) {
        return LastErrno();
    }
    File file;
    file.m_handle = h;
    if (const int error = Describe(h, true, kind, nullptr); error != 0) {
        return error;
    }
    *out = std::move(file);
    return 0;
}

bool File::IsOpen() const {
    return Valid(m_handle);
}

int File::ReadAt(std::uint64_t at, void* data, std::size_t n, std::size_t* got) const {
    auto* out = static_cast<unsigned char*>(data);
    *got = 0;
    while (*got < n) {
        OVERLAPPED o = At(at + *got);
        DWORD read = 0;
        const auto want = static_cast<DWORD>(std::min(n - *got, kChunk));
        if (!ReadFile(m_handle, out + *got, want, &read, &o)) {
            const DWORD error = GetLastError();
            return error == ERROR_HANDLE_EOF ? 0 : ErrnoOf(error);
        }
        if (read == 0) {
            break;
        }
        *got += read;
    }
    return 0;
}

int File::WriteAt(std::uint64_t at, const void* data, std::size_t n) const {
    const auto* in = static_cast<const unsigned char*>(data);
    while (n > 0) {
        OVERLAPPED o = At(at);
        DWORD written = 0;
        if (!WriteFile(m_handle, in, static_cast<DWORD>(std::min(n, kChunk)), &written, &o)) {
            return LastErrno();
        }
        if (written == 0) {
            return EIO;
        }
        in += written;
        at += written;
        n -= written;
    }
    return 0;
}

int File::Size(std::uint64_t* size) const {
    LARGE_INTEGER s{};
    if (!GetFileSizeEx(m_handle, &s)) {
        return LastErrno();
    }
    *size = s.QuadPart > 0 ? static_cast<std::uint64_t>(s.QuadPart) : 0;
    return 0;
}

int File::Resize(std::uint64_t size) const {
    FILE_END_OF_FILE_INFO info{};
    info.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return SetFileInformationByHandle(m_handle, FileEndOfFileInfo, &info, sizeof info)
               ? 0
               : LastErrno();
}

int File::Identity(FileIdentity* identity) const {
    return Describe(m_handle, true, nullptr, identity);
}

int File::CopyFrom(const File&, std::uint64_t, std::uint64_t* done) const {
    *done = 0;  // all by hand
    return 0;
}

std::FILE* File::OpenStream() const {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), m_handle, GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        errno = LastErrno();
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(copy), _O_BINARY);
    if (fd < 0) {
        CloseHandle(copy);
        return nullptr;
    }
    std::FILE* stream = _fdopen(fd, "wb");
    if (stream == nullptr) {
        _close(fd);
    }
    return stream;
}

int File::Close() {
    return Closed(m_handle);
}

std::string File::ReadBackPath(const std::string& knownPath) const {
    return knownPath;
}

Folder::~Folder() {
    Closed(m_handle);
}

Folder::Folder(Folder&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_path(std::move(other.m_path)) {}

Folder& Folder::operator=(Folder&& other) noexcept {
    if (this != &other) {
        Closed(m_handle);
        m_handle = std::exchange(other.m_handle, nullptr);
        m_path = std::move(other.m_path);
    }
    return *this;
}

namespace {

// Held open without delete sharing: the folder cannot be renamed or removed
// while names inside it are resolved through its path.
HANDLE OpenFolderHandle(const std::wstring& path, bool follow) {
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    return CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr);
}

}  // namespace

int Folder::Open(const std::string& path, Folder* out) {
    HANDLE h = OpenFolderHandle(Widen(path.empty() ? std::string(".") : path), true);
    if (!Valid(h)) {
        return LastErrno();
    }
    Folder folder;
    folder.m_handle = h;
    Kind kind = Kind::kOther;
    if (const int error = Describe(h, true, &kind, nullptr); error != 0) {
        return error;
    }
    if (kind != Kind::kFolder) {
        return ENOTDIR;
    }
    // The path the folder has now, links resolved, in the long form.
    std::wstring final(32768, L'\0');
    const DWORD n = GetFinalPathNameByHandleW(h, final.data(), static_cast<DWORD>(final.size()),
                                              FILE_NAME_NORMALIZED);
    if (n == 0 || n >= final.size()) {
        return LastErrno();
    }
    final.resize(n);
    folder.m_path = std::move(final);
    *out = std::move(folder);
    return 0;
}

bool Folder::IsOpen() const {
    return Valid(m_handle);
}

std::wstring Folder::Child(const std::string& name) const {
    return m_path + L"\\" + Widen(name);
}

int Folder::OpenChild(const std::string& name, Folder* out) const {
    const std::wstring path = Child(name);
    HANDLE h = OpenFolderHandle(path, false);
    if (!Valid(h)) {
        return LastErrno();
    }
    Folder folder;
    folder.m_handle = h;
    Kind kind = Kind::kOther;
    if (const int error = Describe(h, false, &kind, nullptr); error != 0) {
        return error;
    }
    if (kind != Kind::kFolder) {
        return kind == Kind::kLink ? ELOOP : ENOTDIR;
    }
    folder.m_path = path;
    *out = std::move(folder);
    return 0;
}

int Folder::MakeChild(const std::string& name) const {
    return CreateDirectoryW(Child(name).c_str(), nullptr) ? 0 : LastErrno();
}

int Folder::Inspect(const std::string& name, bool follow, Kind* kind,
                    FileIdentity* identity) const {
    const std::wstring path = Child(name);
    HANDLE h = OpenExisting(path, FILE_READ_ATTRIBUTES, follow);
    if (!Valid(h)) {
        const DWORD error = GetLastError();
        // Held by another program that shares nothing: its kind, no identity.
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (error != ERROR_SHARING_VIOLATION || attributes == INVALID_FILE_ATTRIBUTES) {
            return ErrnoOf(error);
        }
        if (kind != nullptr) {
            *kind = KindOf(attributes, follow);
        }
        if (identity != nullptr) {
            *identity = {};
        }
        return 0;
    }
    const int result = Describe(h, follow, kind, identity);
    CloseHandle(h);
    return result;
}

int Folder::Identity(FileIdentity* identity) const {
    return Describe(m_handle, true, nullptr, identity);
}

int Folder::CreateNew(const std::string& name, File* out) const {
    HANDLE h =
        CreateFileW(Child(name).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (!Valid(h)) {
        return LastErrno();
    }
    *out = File();
    out->m_handle = h;
    return 0;
}

int Folder::Remove(const std::string& name) const {
    return DeleteFileW(Child(name).c_str()) ? 0 : LastErrno();
}

int Folder::Rename(const std::string& from, const std::string& to, bool replace) const {
    return MoveFileExW(Child(from).c_str(), Child(to).c_str(),
                       replace ? MOVEFILE_REPLACE_EXISTING : 0)
               ? 0
               : LastErrno();
}

}  // namespace marrowix::platform
