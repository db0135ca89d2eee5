// What the parser gathers from a command line before it checks the
// combination and makes the typed command: shared by the option table's
// readers and the parser.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "inspect/cli/OptionTable.h"

namespace marrowix::inspect {

struct Collected {
    std::optional<Action> action;
    int actions = 0;         // action options given (--replace counted once)
    std::uint64_t seen = 0;  // a bit for each row of the option table given
    bool help = false;
    bool version = false;

    std::string listing;
    bool haveListing = false;
    TextureMode mode = kModeDxt;
    bool modeGiven = false;
    bool json = false;
    std::size_t index = 0;    // --export, --texel, --stats
    bool indexGiven = false;  // --stats: one entry
    std::uint32_t x = 0;      // --texel
    std::uint32_t y = 0;
    std::string output;     // --output, --contact-sheet
    std::string directory;  // --export-all
    ImageFormat format = ImageFormat::kPng;
    Precision precision = Precision::kNibbles;
    std::optional<std::size_t> category;
    std::uint32_t size = 128;
    std::uint32_t columns = 8;
    SheetStyle style;
    std::string other;  // --compare-with
    bool all = false;
    std::optional<double> failBelow;
    std::vector<std::pair<std::size_t, std::string>> replacements;
    std::string source;  // --replace-from, --pack
    std::string outputSet;
    DxtQuality quality = DxtQuality::kNormal;
    bool dither = false;
    bool overwrite = false;
};

// The arguments as the readers take them: `i` is on the option's name.
struct Cursor {
    const std::vector<std::string>& args;
    std::size_t i = 0;
    std::string name;  // the option as given

    // The option's next argument; false, with the usage error, when there is
    // none.
    bool Next(std::string* value, std::string* error) {
        if (i + 1 >= args.size()) {
            *error = "option " + name + " needs an argument";
            return false;
        }
        *value = args[++i];
        return true;
    }
};

}  // namespace marrowix::inspect
