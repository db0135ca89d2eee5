#include "RunInspect.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace marrowix::test {
namespace {

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

}  // namespace

Outcome Inspect(const TempDir& dir, const std::vector<std::string>& args,
                const std::string& stdoutTo, bool unprivileged, std::uint64_t memoryLimit) {
    std::string command = Quote(MARROWIX_INSPECT_PATH);
    if (unprivileged && ::geteuid() == 0) {
        command = "setpriv --reuid=65534 --regid=65534 --clear-groups " + command;
    }
    if (memoryLimit != 0) {
        command = "ulimit -v " + std::to_string(memoryLimit >> 10) + " && exec " + command;
    }
    for (const std::string& a : args) {
        command += " " + Quote(a);
    }
    const auto errPath = dir / "stderr.txt";
    command += " 2>" + Quote(errPath.string());
    if (!stdoutTo.empty()) {
        command += " >" + Quote(stdoutTo);
    }
    Outcome o;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return o;
    }
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        o.out.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    o.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const auto err = ReadBytes(errPath);
    o.err.assign(err.begin(), err.end());
    return o;
}

}  // namespace marrowix::test
