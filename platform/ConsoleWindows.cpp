#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <shellapi.h>  // after windows.h, whose types it uses

#include "platform/Console.h"

namespace marrowix::platform {

std::vector<std::string> Arguments(int, char**) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> out;
    for (int i = 1; wide != nullptr && i < count; ++i) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), n, nullptr, nullptr);
        out.push_back(std::move(arg));
    }
    LocalFree(wide);
    return out;
}

void BinaryStandardStreams() {
    _setmode(0, _O_BINARY);
    _setmode(1, _O_BINARY);
    _setmode(2, _O_BINARY);
}

bool IsTerminal(int fd) {
    return _isatty(fd) != 0;
}

}  // namespace marrowix::platform
