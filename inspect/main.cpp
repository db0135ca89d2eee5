#include <iostream>
#include <string>
#include <vector>

#include "inspect/Inspect.h"
#include "inspect/output/OutputBuffer.h"
#include "platform/Console.h"
#include "platform/FileSizeLimit.h"
#include "platform/ProcessMemory.h"
#include "platform/SignalCleanup.h"

int main(int argc, char** argv) {
    marrowix::KeepFreedMemoryForReuse();
    marrowix::LetWritesPastTheFileSizeLimitFail();
    marrowix::RemoveTemporariesOnSignals();
    std::ios::sync_with_stdio(false);
    marrowix::platform::BinaryStandardStreams();
    marrowix::inspect::OutputBuffer output(1);
    std::ostream out(&output);
    const std::vector<std::string> args = marrowix::platform::Arguments(argc, argv);
    int code = marrowix::inspect::Run(args, out, std::cerr, marrowix::platform::IsTerminal(2));
    // Output that did not reach its file is a failure, not a success.
    if (!output.Flush()) {
        std::cerr << "marrowix-inspect: cannot write the output: " << output.Error() << '\n';
        code = 1;
    }
    return code;
}
