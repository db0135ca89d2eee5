#include <new>

#include "compare/MeasureKernels.h"
#include "decode/Decode.h"
#include "inspect/Inspect.h"
#include "repack/ClusterFit.h"
#include "stats/KeyedCounts.h"

namespace marrowix::inspect {

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool errIsTerminal) {
    const ParsedArguments parsed = ParseArguments(args);
    if (parsed.help) {
        out << HelpText();
        return 0;
    }
    if (parsed.version) {
        out << kProgram << " " << MARROWIX_VERSION << '\n';
        if (parsed.verbose) {
            out << "decode path: " << DescribeDecodePath() << '\n'
                << "measure path: " << DescribeMeasurePath() << '\n'
                << "stats path: " << DescribeStatsPath() << '\n'
                << "fit path: " << DescribeFitPath() << '\n';
        }
        return 0;
    }
    if (!parsed.error.empty()) {
        err << kProgram << ": " << parsed.error << '\n' << UsageText();
        return 2;
    }
    Io io{out, err, errIsTerminal};
    try {
        return std::visit([&](const auto& command) { return Execute(command, io); },
                          parsed.command);
    } catch (const std::bad_alloc&) {
        out.flush();
        err << kProgram << ": not enough memory to " << io.doing << '\n';
        return 1;
    }
}

}  // namespace marrowix::inspect
