// marrowix-inspect: the texture-set core from the command line. The
// arguments are parsed by inspect/cli/, each command run by its file in
// inspect/commands/.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "inspect/cli/OptionTable.h"
#include "inspect/commands/CommandSupport.h"
#include "textureset/DisplayText.h"

namespace marrowix::inspect {

using marrowix::DisplayName;
using marrowix::JsonString;

// Runs the command on its arguments (without the program name); returns the
// exit code: 0 done, 1 failed (for --check: a problem found), 2 usage error.
// A progress line is written to `err` only when it is a terminal.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool errIsTerminal = false);

}  // namespace marrowix::inspect
