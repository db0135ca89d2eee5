// The command line and the standard streams of a console program, the same
// on Linux and on Windows: arguments as native strings (UTF-8 on Windows,
// taken from the wide command line whatever the code page), output written
// byte for byte (no "\r\n" for "\n").
#pragma once

#include <string>
#include <vector>

namespace marrowix::platform {

// The arguments after the program's name.
std::vector<std::string> Arguments(int argc, char** argv);
// Standard input, output and error in binary mode.
void BinaryStandardStreams();
// Whether the descriptor is a terminal (or a Windows console).
bool IsTerminal(int fd);

}  // namespace marrowix::platform
