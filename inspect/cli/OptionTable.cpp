// The option table: every option of marrowix-inspect, the reader of its
// arguments, its help, and the actions it goes with.
#include "inspect/cli/OptionTable.h"

#include "inspect/cli/OptionReaders.h"

namespace marrowix::inspect {
namespace {

constexpr Actions kSheet = Of(Action::kContactSheet);

constexpr ActionSpec kActions[] = {
    {Action::kList, "", "[--mode dxt|etc] [--json] LISTING"},
    {Action::kExport, "--export",
     "[--mode dxt|etc] --export INDEX --output FILE.bmp|FILE.png|FILE.dds [--depth 4|8] "
     "LISTING"},
    {Action::kTexel, "--texel", "[--mode dxt|etc] --texel INDEX X Y LISTING"},
    {Action::kCheck, "--check", "[--mode dxt|etc] --check [--json] LISTING"},
    {Action::kStats, "--stats", "[--mode dxt|etc] --stats [INDEX] [--depth 4|8] [--json] LISTING"},
    {Action::kExportAll, "--export-all",
     "[--mode dxt|etc] --export-all DIR [--format png|bmp|dds] [--depth 4|8] LISTING"},
    {Action::kContactSheet, "--contact-sheet",
     "[--mode dxt|etc] --contact-sheet FILE.png [--category N] [--size PX] [--columns N] "
     "[--background checker|white|black|#RRGGBB] [--labels name|name,size|none] LISTING"},
    {Action::kCompare, "--compare", "--compare [--json] [--fail-below DB] LISTING"},
    {Action::kCompareWith, "--compare-with",
     "[--mode dxt|etc] --compare-with OTHER [--json] [--all] LISTING"},
    {Action::kReplace, "--replace",
     "[--mode dxt|etc] --replace INDEX IMAGE [--replace ...] --output-set NEWLISTING "
     "[REPACK OPTIONS] LISTING"},
    {Action::kReplaceFrom, "--replace-from",
     "[--mode dxt|etc] --replace-from DIR --output-set NEWLISTING [REPACK OPTIONS] LISTING"},
    {Action::kPack, "--pack",
     "[--mode dxt|etc] --pack FOLDER --output-set NEWLISTING [REPACK OPTIONS]"},
};
static_assert(std::size(kActions) == kActionCount);

// In the order --help lists them.
constexpr OptionSpec kOptions[] = {
    {"--mode", "dxt|etc", "the encoding to read (default dxt)", kAnyAction, {}, ReadMode},
    {"--json", "", "print the set, or the check, as one JSON object",
     Of(Action::kList) | Of(Action::kCheck) | Of(Action::kStats) | Of(Action::kCompare) |
         Of(Action::kCompareWith) | kRepackActions,
     "listing the set, --check, --stats, the comparisons and the commands that write a set",
     SetFlag<&Collected::json>},
    {"--export",
     "INDEX",
     "write the preview image of entry INDEX (needs --output)",
     Of(Action::kExport),
     {},
     ReadEntry},
    {"--output",
     "FILE",
     "the image file of --export: .bmp, .png or .dds",
     Of(Action::kExport),
     {},
     TakeArgument<&Collected::output>},
    {"--texel",
     "INDEX X Y",
     "print where texel X, Y of entry INDEX comes from, as JSON",
     Of(Action::kTexel),
     {},
     ReadEntry},
    {"--check",
     "",
     "report every problem of the set, one per line",
     Of(Action::kCheck),
     {},
     ChooseAction<Action::kCheck>},
    {"--stats",
     "[INDEX]",
     "per channel range, mean, deviation and histogram, alpha\n"
     "coverage and the encoding's choices, of entry INDEX or\n"
     "of every entry, one line (--json: object) each",
     Of(Action::kStats),
     {},
     ReadStats},
    {"--export-all",
     "DIR",
     "write every texture's image into DIR, by category",
     Of(Action::kExportAll),
     {},
     ChooseWithArgument<Action::kExportAll, &Collected::directory>},
    {"--format",
     "png|bmp|dds",
     "the image format of --export-all (default png)",
     Of(Action::kExportAll),
     {},
     ReadFormat},
    {"--depth", "4|8",
     "a PNG's channels: each nibble widened exactly (4, the\n"
     "default) or dxt's full precision (8)",
     Of(Action::kExport) | Of(Action::kExportAll) | Of(Action::kStats),
     "--export, --export-all or --stats", ReadDepth},
    {"--contact-sheet",
     "FILE",
     "write the thumbnails of the set's textures, with their\n"
     "names, into one PNG, in the tree's order",
     kSheet,
     {},
     ChooseWithArgument<Action::kContactSheet, &Collected::output>},
    {"--category", "N", "only category N's textures (the sheet's)", kSheet, {}, ReadSheetNumber},
    {"--size", "PX", "the thumbnails' side, 1 to 1024 (default 128)", kSheet, {}, ReadSheetNumber},
    {"--columns", "N", "thumbnails a row, 1 to 10000 (default 8)", kSheet, {}, ReadSheetNumber},
    {"--background",
     "B",
     "the sheet's: checker (default), white, black or #RRGGBB",
     kSheet,
     {},
     ReadBackground},
    {"--labels",
     "L",
     "under each thumbnail: name (default), name,size or none",
     kSheet,
     {},
     ReadLabels},
    {"--compare",
     "",
     "compare every entry's dxt and etc images, worst first",
     Of(Action::kCompare),
     {},
     ChooseAction<Action::kCompare>},
    {"--fail-below",
     "DB",
     "exit 1 when an entry's RGB or alpha PSNR is below DB,\n"
     "or an entry could not be measured",
     Of(Action::kCompare) | kRepackActions,
     {},
     ReadFailBelow},
    {"--compare-with",
     "OTHER",
     "compare the set with the set of listing OTHER, entries\n"
     "paired by category and name",
     Of(Action::kCompareWith),
     {},
     ChooseWithArgument<Action::kCompareWith, &Collected::other>},
    {"--all",
     "",
     "list unchanged entries too (--compare-with)",
     Of(Action::kCompareWith),
     {},
     SetFlag<&Collected::all>},
    {"--replace",
     "INDEX IMAGE",
     "a new set in which entry INDEX holds IMAGE (PNG, JPEG,\n"
     "TGA, BMP or DDS); repeat it for more entries",
     Of(Action::kReplace),
     {},
     ReadReplace},
    {"--replace-from",
     "DIR",
     "a new set in which every image of DIR (as --export-all\n"
     "wrote it) whose pixels changed replaces its entry",
     Of(Action::kReplaceFrom),
     {},
     ChooseWithArgument<Action::kReplaceFrom, &Collected::source>},
    {"--pack",
     "FOLDER",
     "a new set of FOLDER's images, a category a subfolder",
     Of(Action::kPack),
     {},
     ChooseWithArgument<Action::kPack, &Collected::source>},
    {"--output-set",
     "FILE",
     "the new set's listing; its encodings' files beside it",
     kRepackActions,
     {},
     TakeArgument<&Collected::outputSet>},
    {"--quality",
     "Q",
     "DXT5 encoding: fast, normal (default) or best",
     kRepackActions,
     {},
     ReadQuality},
    {"--dither",
     "",
     "etc: diffuse each channel's error (Floyd-Steinberg)",
     kRepackActions,
     {},
     SetFlag<&Collected::dither>},
    {"--overwrite",
     "",
     "replace a set already at NEWLISTING (both encodings);\n"
     "without it such a set is kept and nothing is written",
     kRepackActions,
     {},
     SetFlag<&Collected::overwrite>},
    {"--help", "", "print this help", kAnyAction, {}, SetFlag<&Collected::help>},
    {"--version",
     "",
     "print the version (with --verbose also the vector\n"
     "paths taken and how they were chosen)",
     kAnyAction,
     {},
     SetFlag<&Collected::version>},
};
static_assert(std::size(kOptions) <= 64, "Collected::seen has a bit for each option");

}  // namespace

std::span<const ActionSpec> ActionTable() {
    return kActions;
}
std::span<const OptionSpec> OptionTable() {
    return kOptions;
}

std::string JoinWords(std::span<const std::string_view> words, std::string_view last) {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        text += i == 0 ? "" : i + 1 == words.size() ? last : ", ";
        text += words[i];
    }
    return text;
}

std::string UsageText() {
    std::string text;
    for (const ActionSpec& a : kActions) {
        text += text.empty() ? "usage: marrowix-inspect " : "       marrowix-inspect ";
        text += a.synopsis;
        text += '\n';
    }
    text += "       marrowix-inspect ";
    text += kInfoSynopsis;
    text += '\n';
    text += kRepackSynopsis;
    text += '\n';
    return text;
}

std::string HelpText() {
    constexpr std::size_t kColumn = 25;  // where each option's help begins
    std::string text = UsageText() +
                       "\n"
                       "Shows a texture set (LISTING, its offset table and data file beside it) "
                       "as the\n"
                       "viewer's tree does, and exports, locates and checks its textures.\n"
                       "\n"
                       "options:\n";
    for (const OptionSpec& o : kOptions) {
        std::string left = "  " + std::string(o.name);
        if (!o.argument.empty()) {
            left += ' ';
            left += o.argument;
        }
        left.resize(kColumn, ' ');
        std::string_view help = o.help;
        for (std::size_t end; !help.empty(); help.remove_prefix(end + (end < help.size()))) {
            end = std::min(help.find('\n'), help.size());
            text += left;
            text += help.substr(0, end);
            text += '\n';
            left.assign(kColumn, ' ');
        }
    }
    return text +
           "\n"
           "exit codes:\n"
           "  0  done (--check: no problem found)\n"
           "  1  failed, named on stderr (--check: at least one problem found)\n"
           "  2  usage error\n";
}

}  // namespace marrowix::inspect
