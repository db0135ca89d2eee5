// marrowix-inspect: the texture-set core from the command line.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "textureset/TextureSet.h"

namespace marrowix::inspect {

struct Options {
    std::string mode = "dxt";
    bool json = false;
    bool exportImage = false;
    std::size_t index = 0;
    std::string output;
    std::string listing;
};

struct ParsedArguments {
    Options options;
    bool help = false;
    std::string error;  // a usage error when not empty
};

ParsedArguments ParseArguments(const std::vector<std::string>& args);
std::string UsageText();

// The set as the tree shows it, one node a line.
void PrintTree(const CTextureSet& set, std::ostream& out);
// The set as one JSON object.
void PrintJson(const CTextureSet& set, const std::string& mode, std::ostream& out);
// A JSON string literal of a UTF-16 text, each unit written as the character
// of that value; control characters and unpaired surrogates escaped.
std::string JsonString(std::u16string_view text);

// Runs the command on its arguments (without the program name); returns the
// exit code: 0 done, 1 failed, 2 usage error.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace marrowix::inspect
