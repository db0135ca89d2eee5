// The viewer's command line: `marrowix [--mode dxt|etc] [--compare-with OTHER]
// [LISTING]`, read
// before any window opens. Options of Qt's own (one dash: -platform NAME,
// -style NAME, ...) are left to Qt.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "textureset/TextureSet.h"

namespace marrowix {

struct ViewerArguments {
    std::optional<TextureMode> mode;     // --mode; unset: ask, as Browse does
    std::optional<std::string> listing;  // the listing to open at start
    std::optional<std::string> other;    // --compare-with: E flips to this version
    bool help = false;
    bool version = false;
    std::string error;  // a usage error when not empty
};

// Reads the arguments after the program name.
ViewerArguments ParseViewerArguments(const std::vector<std::string>& args);
std::string ViewerUsage();
std::string ViewerHelp();

// The listing named on the command line, as the bytes given, made absolute
// against the working folder: the lossless form the set's paths are kept in
// (FromNativePath), so that the very file named is opened.
std::u16string StartListingPath(const std::string& bytes);

}  // namespace marrowix
