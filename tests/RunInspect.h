// Running the real marrowix-inspect program on files written for a test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "TestFiles.h"

namespace marrowix::test {

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

// Runs the program with `args`; its stderr goes through a file in `dir`.
// `stdoutTo`, when given, is where standard output goes instead of the pipe.
// `unprivileged`: run as the user nobody when the tests run as root, so
// that permissions hold. `memoryLimit`: the program's address space in
// bytes (0: no limit).
Outcome Inspect(const TempDir& dir, const std::vector<std::string>& args,
                const std::string& stdoutTo = {}, bool unprivileged = false,
                std::uint64_t memoryLimit = 0);

}  // namespace marrowix::test
