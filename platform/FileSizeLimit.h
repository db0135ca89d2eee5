// Process-wide handling of the file size limit (`ulimit -f`) for the programs.
//
// By default a write past the limit kills the process with SIGXFSZ: no
// message, a temporary file left behind, the rest of a batch not done. With
// the signal ignored the write fails with EFBIG instead ("File too large"),
// which the writers report and clean up after like any other failed write.
#pragma once

#include <csignal>

namespace marrowix {

inline void LetWritesPastTheFileSizeLimitFail() {
#if defined(SIGXFSZ)
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

}  // namespace marrowix
