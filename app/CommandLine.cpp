#include "app/CommandLine.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace marrowix {
namespace {

// Qt's options that take a value in the next argument.
constexpr std::array<std::string_view, 11> kQtOptionsWithValue = {
    "-platform",    "-platformpluginpath", "-platformtheme", "-plugin",     "-qwindowgeometry",
    "-qwindowicon", "-qwindowtitle",       "-style",         "-stylesheet", "-display",
    "-session"};

}  // namespace

std::string ViewerUsage() {
    return "usage: marrowix [--mode dxt|etc] [--compare-with OTHER] [LISTING]\n"
           "       marrowix --help | --version\n";
}

std::string ViewerHelp() {
    return ViewerUsage() +
           "\n"
           "Opens the texture set viewer, with LISTING loaded when one is given (its\n"
           "offset table and data file lie beside it).\n"
           "\n"
           "options:\n"
           "  --mode dxt|etc   the encoding to load LISTING in, instead of asking\n"
           "  --compare-with OTHER\n"
           "                   E flips to the same texture of the set of listing OTHER\n"
           "                   (paired by category and name), 7 shows their difference\n"
           "  --help           print this help\n"
           "  --version        print the version\n"
           "\n"
           "keys and mouse:\n"
           "  Ctrl + wheel, Ctrl++, Ctrl+-   zoom in or out (1/16 to 32; 100% is one texel\n"
           "                                 per device pixel)\n"
           "  Ctrl+0, F                      real size, fit the image to the view\n"
           "  1 2 3 4 5 6                    RGB, RGBA over a checkerboard, R, G, B or A alone\n"
           "  E                              the same texture in the other encoding (or the\n"
           "                                 other version), and back\n"
           "  7, D                           the difference of the two; its scale x1, x4, x16\n"
           "  T                              the texels differing by more than a threshold\n"
           "                                 (D steps it: 1 to 32)\n"
           "  S                              split view: this and the other, a divider between\n"
           "  H                              statistics, histograms and levels beside the view\n"
           "  Shift + drag                   a region of texels for the statistics\n"
           "  L, Shift+L                     fit the levels to the texels in view; reset them\n"
           "  Q                              4-bit or 8-bit precision\n"
           "  wheel, left-button drag        scroll, pan\n"
           "  left click on the image        pin the readout to that texel\n"
           "  Escape, a click beside it      unpin (Escape with nothing pinned closes)\n"
           "  Ctrl+S, Ctrl+C                 save the image (PNG, BMP or DDS), copy it\n"
           "  Ctrl+Shift+C                   copy the readout's text\n"
           "  right click on the preview     all of the above in a menu, and Replace\n"
           "                                 texture... (a new set with an image put back)\n"
           "  a picture dropped on it        the same with that image (PNG, JPEG, TGA,\n"
           "                                 BMP or DDS)\n"
           "  F5                             read the set again (it is, by itself, when\n"
           "                                 its files change)\n"
           "  Ctrl+R                         open a recent set (the last ten, each in the\n"
           "                                 encoding chosen for it)\n"
           "  Ctrl+F; Enter, Escape there    find textures; the next match, close\n"
           "  Up, Down in the tree           the previous or next texture\n"
           "  G                              the thumbnail grid, or back to the preview;\n"
           "                                 in it arrows select, Enter shows the texture,\n"
           "                                 Ctrl + wheel, Ctrl++, Ctrl+- the cell size\n"
           "  Enter, Escape                  close the viewer\n"
           "\n"
           "exit codes:\n"
           "  0  the viewer was closed\n"
           "  2  usage error\n";
}

std::u16string StartListingPath(const std::string& bytes) {
    std::error_code ec;
    // On POSIX systems a path is its bytes: nothing is decoded here.
    const std::filesystem::path absolute = std::filesystem::absolute(bytes, ec);
    return FromNativePath(ec ? bytes : absolute.string());
}

ViewerArguments ParseViewerArguments(const std::vector<std::string>& args) {
    ViewerArguments parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (a == "--help" || a == "-h")) {
            parsed.help = true;
            return parsed;
        } else if (!optionsEnded && a == "--version") {
            parsed.version = true;
            return parsed;
        } else if (!optionsEnded && (a == "--mode" || a.rfind("--mode=", 0) == 0)) {
            std::string value;
            if (a == "--mode") {
                if (i + 1 >= args.size()) {
                    parsed.error = "option --mode needs an argument";
                    return parsed;
                }
                value = args[++i];
            } else {
                value = a.substr(7);
            }
            if (value != "dxt" && value != "etc") {
                parsed.error = "--mode must be dxt or etc, not '" + value + "'";
                return parsed;
            }
            parsed.mode = value == "dxt" ? kModeDxt : kModeEtc;
        } else if (!optionsEnded && a == "--compare-with") {
            if (i + 1 >= args.size()) {
                parsed.error = "option --compare-with needs an argument";
                return parsed;
            }
            if (parsed.other) {
                parsed.error = "--compare-with given more than once";
                return parsed;
            }
            parsed.other = args[++i];
        } else if (!optionsEnded && a.rfind("--", 0) == 0) {
            parsed.error = "unknown option '" + a + "'";
            return parsed;
        } else if (!optionsEnded && a.size() > 1 && a[0] == '-') {
            // Qt's own; skip its value where it takes one.
            if (std::find(kQtOptionsWithValue.begin(), kQtOptionsWithValue.end(), a) !=
                kQtOptionsWithValue.end()) {
                ++i;
            }
        } else {
            if (parsed.listing) {
                parsed.error = "more than one listing given";
                return parsed;
            }
            parsed.listing = a;
        }
    }
    if (parsed.mode && !parsed.listing) {
        parsed.error = "--mode goes with a listing";
    } else if (parsed.other && !parsed.listing) {
        parsed.error = "--compare-with goes with a listing";
    }
    return parsed;
}

}  // namespace marrowix
