// marrowix-inspect: the texture-set core from the command line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "decode/Decode.h"
#include "textureset/DisplayText.h"
#include "textureset/TextureSet.h"

namespace marrowix {

// The name messages begin with.
inline constexpr const char* kProgram = "marrowix-inspect";
struct Measures;
}  // namespace marrowix

namespace marrowix::inspect {

enum class Command {
    kList,          // the tree, or JSON
    kExport,        // one preview image
    kTexel,         // where one texel comes from
    kCheck,         // every problem of the set
    kExportAll,     // every preview image
    kContactSheet,  // thumbnails with names, in one PNG
    kCompare,       // the two encodings of every entry
    kCompareWith,   // two versions of a set
    kReplace,       // a new set with textures replaced by images
    kReplaceFrom,   // the same from a folder --export-all wrote
    kPack,          // a new set from a folder of images
    kStats,         // statistics of one entry or of every entry
};

struct Options {
    std::string mode = "dxt";
    Command command = Command::kList;
    bool json = false;
    std::size_t index = 0;    // --export, --texel, --stats
    bool indexGiven = false;  // --stats: one entry
    std::uint32_t x = 0;      // --texel
    std::uint32_t y = 0;
    std::string output;                         // --export: the image file
    std::string directory;                      // --export-all
    std::string format = "png";                 // --export-all
    Precision precision = Precision::kNibbles;  // --depth: of PNG images
    std::optional<std::size_t> category;        // --contact-sheet: one category only
    std::uint32_t size = 128;                   // --contact-sheet: thumbnail side
    std::uint32_t columns = 8;                  // --contact-sheet
    std::string background = "checker";         // --contact-sheet: checker, white, black, #RRGGBB
    std::string labels = "name";                // --contact-sheet: name, name,size, none
    std::string other;                          // --compare-with: the other listing
    bool all = false;                           // --compare-with: unchanged entries too
    std::optional<double> failBelow;            // --compare: the lowest PSNR that passes
    bool modeGiven = false;                     // --mode was given
    std::vector<std::pair<std::size_t, std::string>> replacements;  // --replace INDEX IMAGE
    std::string source;              // --replace-from DIR, --pack FOLDER
    std::string outputSet;           // --output-set: the new set's listing
    std::string quality = "normal";  // fast, normal, best
    bool dither = false;
    bool overwrite = false;  // --overwrite: replace a set already at --output-set
    std::string listing;
};

struct ParsedArguments {
    Options options;
    bool help = false;
    bool version = false;
    bool verbose = false;  // with --version: the paths taken
    std::string error;     // a usage error when not empty
};

ParsedArguments ParseArguments(const std::vector<std::string>& args);
std::string UsageText();
std::string HelpText();
// Whether `text` ends in `suffix` (lower case), ASCII letters in either case.
bool EndsWithNoCase(const std::string& text, const std::string& suffix);

// The set as the tree shows it, one node a line.
void PrintTree(const CTextureSet& set, std::ostream& out);
// The set as one JSON object.
void PrintJson(const CTextureSet& set, const std::string& mode, std::ostream& out);
using marrowix::DisplayName;
using marrowix::JsonString;

// "entry 3 \"road\"": an entry as messages name it.
std::string EntryTitle(const CTextureSet& set, std::size_t index);

// "\"psnr\":{…},\"maxDiff\":{…},\"differing\":N": measures in JSON, as the
// comparisons print them.
std::string MeasuresJson(const Measures& m);

// --compare and --compare-with; the exit code.
int CompareEncodings(const Options& o, std::ostream& out, std::ostream& err);
int CompareVersions(const Options& o, std::ostream& out, std::ostream& err);

// --stats: one line (or JSON object) an entry; the exit code.
int PrintStats(const CTextureSet& set, const Options& o, std::ostream& out, std::ostream& err);

// --replace, --replace-from and --pack; the exit code.
int Repack(const Options& o, std::ostream& out, std::ostream& err, bool errIsTerminal);

// Runs the command on its arguments (without the program name); returns the
// exit code: 0 done, 1 failed (for --check: a problem found), 2 usage error.
// A progress line is written to `err` only when it is a terminal.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool errIsTerminal = false);

}  // namespace marrowix::inspect
