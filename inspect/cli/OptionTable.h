// marrowix-inspect's command line as one table: the actions with their
// synopses, and the options with their help and the actions they go with.
// The parser, the usage and --help are made from it, and a test holds the
// man page to it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "inspect/commands/Commands.h"
#include "textureset/DisplayText.h"

namespace marrowix::inspect {

// What a command line asks for, in the order the usage lists them.
enum class Action : std::uint8_t {
    kList,
    kExport,
    kTexel,
    kCheck,
    kStats,
    kExportAll,
    kContactSheet,
    kCompare,
    kCompareWith,
    kReplace,
    kReplaceFrom,
    kPack,
};
inline constexpr std::size_t kActionCount = 12;

// A set of actions.
using Actions = std::uint32_t;
constexpr Actions Of(Action a) {
    return Actions{1} << static_cast<unsigned>(a);
}
inline constexpr Actions kAnyAction = 0;
inline constexpr Actions kRepackActions =
    Of(Action::kReplace) | Of(Action::kReplaceFrom) | Of(Action::kPack);

struct ActionSpec {
    Action action;
    std::string_view option;    // the option that chooses it; empty for the listing
    std::string_view synopsis;  // its usage after the program's name
};

struct Collected;
struct Cursor;

struct OptionSpec {
    std::string_view name;      // "--size"
    std::string_view argument;  // as --help shows it ("PX"); empty when it takes none
    std::string_view help;      // its lines in --help, '\n' between them
    Actions goesWith;           // the actions it is allowed with; kAnyAction for all
    // How "goes only with" names `goesWith`, when not by the actions'
    // options (the listing has none).
    std::string_view goesWithText;
    // Reads the option's arguments (the cursor is on its name); the usage
    // error, or "".
    std::string (*parse)(Cursor& cursor, Collected& collected);
};

std::span<const ActionSpec> ActionTable();
std::span<const OptionSpec> OptionTable();

// The synopsis lines after the actions': --help and --version, and the
// options REPACK OPTIONS stands for.
inline constexpr std::string_view kInfoSynopsis = "--help | --version [--verbose]";
inline constexpr std::string_view kRepackSynopsis =
    "REPACK OPTIONS: [--quality fast|normal|best] [--dither] [--fail-below DB] [--overwrite] "
    "[--json]";

struct ParsedArguments {
    Command command;
    bool help = false;
    bool version = false;
    bool verbose = false;  // with --version: the paths taken
    std::string error;     // a usage error when not empty
};

ParsedArguments ParseArguments(const std::vector<std::string>& args);
std::string UsageText();
std::string HelpText();

// "a", "a and b", "a, b and c" (or "or" before the last).
std::string JoinWords(std::span<const std::string_view> words, std::string_view last = " and ");

}  // namespace marrowix::inspect
