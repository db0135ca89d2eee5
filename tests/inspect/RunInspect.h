// Running the real programs (marrowix-inspect, the sample tool) on files
// written for a test, the same on Linux and on Windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/TestFiles.h"

namespace marrowix::test {

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

// Runs marrowix-inspect with `args`; its stderr goes through a file in
// `dir`. `stdoutTo`, when given, is where standard output goes instead of
// the pipe. `unprivileged`: run as the user nobody when the tests run as
// root, so that permissions hold. `memoryLimit`: the program's address
// space in bytes (0: no limit; on Windows the memory it may commit).
Outcome Inspect(const TempDir& dir, const std::vector<std::string>& args,
                const std::string& stdoutTo = {}, bool unprivileged = false,
                std::uint64_t memoryLimit = 0);

// Runs `program` with `args` in the folder `cwd`, standard output and
// error to the files out.txt and err.txt there; its exit code (-1 when it did
// not exit by itself).
int RunIn(const std::filesystem::path& cwd, const std::string& program,
          const std::vector<std::string>& args);

}  // namespace marrowix::test
