#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "inspect/Inspect.h"
#include "platform/ProcessMemory.h"

int main(int argc, char** argv) {
    marrowix::KeepFreedMemoryForReuse();
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    int code = marrowix::inspect::Run(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
    // Output that did not reach its file is a failure, not a success.
    errno = 0;
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "marrowix-inspect: cannot write the output"
                  << (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string())
                  << '\n';
        code = 1;
    }
    return code;
}
