// What the benches read of the process itself.
#pragma once

#include <fstream>
#include <string>

namespace marrowix::bench {

// A field of /proc/self/status in KiB ("VmRSS:", "VmHWM:"); 0 when absent.
inline long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::stol(line.substr(std::string(field).size()));
        }
    }
    return 0;
}

}  // namespace marrowix::bench
