#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "inspect/Inspect.h"
#include "inspect/OutputBuffer.h"
#include "platform/FileSizeLimit.h"
#include "platform/ProcessMemory.h"
#include "platform/SignalCleanup.h"

int main(int argc, char** argv) {
    marrowix::KeepFreedMemoryForReuse();
    marrowix::LetWritesPastTheFileSizeLimitFail();
    marrowix::RemoveTemporariesOnSignals();
    std::ios::sync_with_stdio(false);
    marrowix::inspect::OutputBuffer output(STDOUT_FILENO);
    std::ostream out(&output);
    std::vector<std::string> args(argv + 1, argv + argc);
    int code = marrowix::inspect::Run(args, out, std::cerr, ::isatty(STDERR_FILENO) == 1);
    // Output that did not reach its file is a failure, not a success.
    if (!output.Flush()) {
        std::cerr << "marrowix-inspect: cannot write the output: " << output.Error() << '\n';
        code = 1;
    }
    return code;
}
