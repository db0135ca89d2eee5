#include <unistd.h>

#include "platform/Console.h"

namespace marrowix::platform {

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void BinaryStandardStreams() {}

bool IsTerminal(int fd) {
    return ::isatty(fd) == 1;
}

}  // namespace marrowix::platform
