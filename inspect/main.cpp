#include <iostream>
#include <string>
#include <vector>

#include "inspect/Inspect.h"
#include "platform/ProcessMemory.h"

int main(int argc, char** argv) {
    marrowix::KeepFreedMemoryForReuse();
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    const int code = marrowix::inspect::Run(args, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
