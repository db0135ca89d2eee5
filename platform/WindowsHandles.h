// What the Windows side of platform/ shares: UTF-8 and UTF-16, the errno
// value of a system error, and what an open handle is.
#pragma once

#include <windows.h>

#include <cerrno>
#include <string>

#include "platform/Files.h"

namespace marrowix::platform::windows {

inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

inline std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

inline std::string Narrow(const std::wstring& wide) {
    if (wide.empty()) {
        return {};
    }
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

// The errno value whose message says what the system's error means.
inline int ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_SUCCESS:
            return 0;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_INVALID_ACCESS:
            return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EBUSY;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        case ERROR_DIR_NOT_EMPTY:
            return ENOTEMPTY;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_PARAMETER:
            return EINVAL;
        case ERROR_NOT_SAME_DEVICE:
            return EXDEV;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        case ERROR_FILE_TOO_LARGE:
            return EFBIG;
        default:
            return EIO;
    }
}

inline int LastErrno() {
    return ErrnoOf(GetLastError());
}

inline bool Valid(HANDLE h) {
    return h != nullptr && h != INVALID_HANDLE_VALUE;
}

inline int Closed(HANDLE& h) {
    const int result = Valid(h) && !CloseHandle(h) ? LastErrno() : 0;
    h = nullptr;
    return result;
}

inline HANDLE OpenExisting(const std::wstring& path, DWORD access, bool follow) {
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    return CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING, flags, nullptr);
}

inline Kind KindOf(DWORD attributes, bool follow) {
    if (!follow && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return Kind::kLink;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Kind::kFolder : Kind::kFile;
}

inline int Describe(HANDLE h, bool follow, Kind* kind, FileIdentity* identity) {
    if (GetFileType(h) != FILE_TYPE_DISK) {  // a pipe or a device: no file's identity
        if (kind != nullptr) {
            *kind = Kind::kOther;
        }
        if (identity != nullptr) {
            *identity = {};
        }
        return 0;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info)) {
        return LastErrno();
    }
    if (kind != nullptr) {
        *kind = KindOf(info.dwFileAttributes, follow);
    }
    if (identity != nullptr) {
        *identity = {info.dwVolumeSerialNumber,
                     std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow};
    }
    return 0;
}

}  // namespace marrowix::platform::windows
