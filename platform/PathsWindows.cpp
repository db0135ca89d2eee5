// Paths and names on Windows: identities and kinds by path, change stamps,
// the names Windows forbids or folds together, and conversions.
#include <windows.h>

#include <string_view>

#include "platform/Files.h"
#include "platform/WindowsHandles.h"

namespace marrowix::platform {

using namespace windows;

bool IdentifyPath(const std::string& path, FileIdentity* identity) {
    HANDLE h = OpenExisting(Widen(path), FILE_READ_ATTRIBUTES, true);
    if (!Valid(h)) {
        return false;
    }
    const bool known = Describe(h, true, nullptr, identity) == 0;
    CloseHandle(h);
    return known;
}

int InspectPath(const std::string& path, Kind* kind) {
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return LastErrno();
    }
    *kind = KindOf(attributes, false);
    return 0;
}

std::string ChangeStamp(const std::string& path) {
    HANDLE h = OpenExisting(Widen(path), FILE_READ_ATTRIBUTES, true);
    if (!Valid(h)) {
        return "-";
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const BOOL known = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!known) {
        return "-";
    }
    const auto high = [](DWORD hi, DWORD lo) { return std::uint64_t{hi} << 32 | lo; };
    return std::to_string(info.dwVolumeSerialNumber) + ":" +
           std::to_string(high(info.nFileIndexHigh, info.nFileIndexLow)) + ":" +
           std::to_string(high(info.nFileSizeHigh, info.nFileSizeLow)) + ":" +
           std::to_string(
               high(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime));
}

int RemoveEmptyFolder(const std::string& path) {
    return RemoveDirectoryW(Widen(path).c_str()) ? 0 : LastErrno();
}

bool IsPlainName(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.back() == '.' || name.back() == ' ') {
        return false;  // Windows drops a final dot or space: another file's name
    }
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 ||
            std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos) {
            return false;
        }
    }
    // The devices' names, with any extension, are no files.
    std::string stem = name.substr(0, name.find('.'));
    for (char& c : stem) {
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
        if (stem == device) {
            return false;
        }
    }
    return !(stem.size() == 4 && (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) &&
             stem[3] >= '0' && stem[3] <= '9');
}

bool SameName(const std::string& a, const std::string& b) {
    const std::wstring wa = Widen(a);
    const std::wstring wb = Widen(b);
    return CompareStringOrdinal(wa.data(), static_cast<int>(wa.size()), wb.data(),
                                static_cast<int>(wb.size()), TRUE) == CSTR_EQUAL;
}

std::size_t LastSeparator(const std::string& path) {
    return path.find_last_of("/\\");
}

long ProcessId() {
    return static_cast<long>(GetCurrentProcessId());
}

std::filesystem::path FsPath(const std::string& path) {
    return std::filesystem::path(Widen(path));
}

std::string NativeOf(const std::filesystem::path& path) {
    return Narrow(path.native());
}

}  // namespace marrowix::platform
