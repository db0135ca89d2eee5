// Files and folders as both programs use them, the same on Linux and on
// Windows: a folder held open while names inside it are made, renamed and
// removed; files read and written at positions, which threads may share;
// each file's identity whatever path reached it; links never followed
// where the caller says so.
//
// Paths and names are native strings: bytes on Linux, UTF-8 on Windows
// (turned into UTF-16 at each call). Results are errno values (0 for
// success), so that messages read the same on both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace marrowix {

// What a file is, whatever path reached it: two paths that name the same
// file (through a hard or symbolic link, or another spelling) have equal
// identities.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

namespace platform {

#ifdef _WIN32
using NativeHandle = void*;  // a HANDLE
#else
using NativeHandle = int;  // a descriptor
#endif

enum class Kind { kFile, kFolder, kLink, kOther };

// An open file. Moves; closes when it goes.
class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens an existing file for reading, following links, without ever
    // blocking (a FIFO without a writer included). Others may still read,
    // write, rename and remove it meanwhile. `kind` gets what it is; only a
    // regular file should be read.
    static int OpenForReading(const std::string& path, File* out, Kind* kind);

    bool IsOpen() const;
    // Reads up to n bytes at `at`; *got is how many were read (0 at the end).
    int ReadAt(std::uint64_t at, void* data, std::size_t n, std::size_t* got) const;
    // Writes all n bytes at `at`.
    int WriteAt(std::uint64_t at, const void* data, std::size_t n) const;
    int Size(std::uint64_t* size) const;
    // Makes the file `size` bytes long (zeros after its old end).
    int Resize(std::uint64_t size) const;
    int Identity(FileIdentity* identity) const;
    // Copies `n` bytes of `from` from its start to the start of this file,
    // where the system can without reading them; *done is how many it did.
    int CopyFrom(const File& from, std::uint64_t n, std::uint64_t* done) const;
    // A stream writing from the start of the file, over its own handle.
    std::FILE* OpenStream() const;
    // Closes the file, saying whether the last writes failed.
    int Close();
    // A path that reads this very file, whatever happens to its name.
    std::string ReadBackPath(const std::string& knownPath) const;
    NativeHandle Native() const { return m_handle; }

private:
#ifdef _WIN32
    NativeHandle m_handle = nullptr;
#else
    NativeHandle m_handle = -1;
#endif
    friend class Folder;
};

// An open folder: names inside it are resolved in the folder itself.
class Folder {
public:
    Folder() = default;
    ~Folder();
    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&& other) noexcept;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // Opens the folder at `path`, following links; ENOTDIR when it is
    // something else.
    static int Open(const std::string& path, Folder* out);

    bool IsOpen() const;
    // Opens the folder `name` inside this one, never through a link
    // (ELOOP for a link, ENOTDIR for something else).
    int OpenChild(const std::string& name, Folder* out) const;
    // Makes the folder `name`; EEXIST when something is there.
    int MakeChild(const std::string& name) const;
    // What `name` is, as a name (`follow` false: a link is kLink) or as
    // what it leads to; ENOENT when there is nothing.
    int Inspect(const std::string& name, bool follow, Kind* kind, FileIdentity* identity) const;
    int Identity(FileIdentity* identity) const;
    // Makes the file `name`, which must not exist (EEXIST, a link included),
    // open for reading and writing.
    int CreateNew(const std::string& name, File* out) const;
    int Remove(const std::string& name) const;
    // Renames `from` to `to`, replacing what is there (`replace`) or never
    // (EEXIST).
    int Rename(const std::string& from, const std::string& to, bool replace) const;
    NativeHandle Native() const { return m_handle; }
#ifdef _WIN32
    // The full path of `name` inside the folder.
    std::wstring Child(const std::string& name) const;
#endif

private:
#ifdef _WIN32
    NativeHandle m_handle = nullptr;
    std::wstring m_path;  // the folder's full path
#else
    NativeHandle m_handle = -1;
#endif
};

// The identity of the file at `path`, following links; false when there is
// none.
bool IdentifyPath(const std::string& path, FileIdentity* identity);
// What `path` is as a name (links not followed); ENOENT when nothing.
int InspectPath(const std::string& path, Kind* kind);
// What changes when the file at `path` is changed or replaced: its
// identity, size and time of change, as one string; "-" when there is none.
std::string ChangeStamp(const std::string& path);
// Removes the empty folder at `path`.
int RemoveEmptyFolder(const std::string& path);
// Whether `name` can be a file's name inside a folder: not empty, "." or
// "..", and no separator (on Windows none of the characters it forbids).
bool IsPlainName(const std::string& name);
// Whether two names in one folder name the same file (on Windows, whatever
// their case).
bool SameName(const std::string& a, const std::string& b);
// Whether native paths are UTF-8 (Windows, whose own are UTF-16) rather
// than the bytes the system stores.
#ifdef _WIN32
constexpr bool kUtf8Paths = true;
#else
constexpr bool kUtf8Paths = false;
#endif
// The system's own separator.
#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif
// Where a native path's final name starts (after its last separator), or
// npos when it has none.
std::size_t LastSeparator(const std::string& path);
// The process's id, for names of temporary files.
long ProcessId();
// A native path as std::filesystem takes it, and back.
std::filesystem::path FsPath(const std::string& path);
std::string NativeOf(const std::filesystem::path& path);

}  // namespace platform
}  // namespace marrowix
