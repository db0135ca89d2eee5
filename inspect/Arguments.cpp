// marrowix-inspect's command line: the options, the usage and the help.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "inspect/Inspect.h"

namespace marrowix::inspect {
namespace {

template <class T>
bool ParseNumber(const std::string& text, T max, T* number) {
    if (text.empty() || text.size() > 18) {
        return false;
    }
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > max) {
        return false;
    }
    *number = static_cast<T>(value);
    return true;
}

}  // namespace

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = text[text.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != suffix[i]) {
            return false;
        }
    }
    return true;
}

std::string UsageText() {
    return "usage: marrowix-inspect [--mode dxt|etc] [--json] LISTING\n"
           "       marrowix-inspect [--mode dxt|etc] --export INDEX --output FILE.bmp|FILE.png "
           "[--depth 4|8] LISTING\n"
           "       marrowix-inspect [--mode dxt|etc] --texel INDEX X Y LISTING\n"
           "       marrowix-inspect [--mode dxt|etc] --check [--json] LISTING\n"
           "       marrowix-inspect [--mode dxt|etc] --stats [INDEX] [--depth 4|8] [--json] "
           "LISTING\n"
           "       marrowix-inspect [--mode dxt|etc] --export-all DIR [--format png|bmp] "
           "[--depth 4|8] LISTING\n"
           "       marrowix-inspect [--mode dxt|etc] --contact-sheet FILE.png [--category N] "
           "[--size PX] [--columns N] [--background checker|white|black|#RRGGBB] "
           "[--labels name|name,size|none] LISTING\n"
           "       marrowix-inspect --compare [--json] [--fail-below DB] LISTING\n"
           "       marrowix-inspect [--mode dxt|etc] --compare-with OTHER [--json] [--all] "
           "LISTING\n"
           "       marrowix-inspect [--mode dxt|etc] --replace INDEX IMAGE [--replace ...] "
           "--output-set NEWLISTING [REPACK OPTIONS] LISTING\n"
           "       marrowix-inspect [--mode dxt|etc] --replace-from DIR --output-set NEWLISTING "
           "[REPACK OPTIONS] LISTING\n"
           "       marrowix-inspect [--mode dxt|etc] --pack FOLDER --output-set NEWLISTING "
           "[REPACK OPTIONS]\n"
           "       marrowix-inspect --help | --version [--verbose]\n"
           "REPACK OPTIONS: [--quality fast|normal|best] [--dither] [--fail-below DB] "
           "[--overwrite] "
           "[--json]\n";
}

std::string HelpText() {
    return UsageText() +
           "\n"
           "Shows a texture set (LISTING, its offset table and data file beside it) as the\n"
           "viewer's tree does, and exports, locates and checks its textures.\n"
           "\n"
           "options:\n"
           "  --mode dxt|etc         the encoding to read (default dxt)\n"
           "  --json                 print the set, or the check, as one JSON object\n"
           "  --export INDEX         write the preview image of entry INDEX (needs --output)\n"
           "  --output FILE          the image file of --export: .bmp or .png\n"
           "  --texel INDEX X Y      print where texel X, Y of entry INDEX comes from, as JSON\n"
           "  --check                report every problem of the set, one per line\n"
           "  --stats [INDEX]        per channel range, mean, deviation and histogram, alpha\n"
           "                         coverage and the encoding's choices, of entry INDEX or\n"
           "                         of every entry, one line (--json: object) each\n"
           "  --export-all DIR       write every texture's image into DIR, by category\n"
           "  --format png|bmp       the image format of --export-all (default png)\n"
           "  --depth 4|8            a PNG's channels: each nibble widened exactly (4, the\n"
           "                         default) or dxt's full precision (8)\n"
           "  --contact-sheet FILE   write the thumbnails of the set's textures, with their\n"
           "                         names, into one PNG, in the tree's order\n"
           "  --category N           only category N's textures (the sheet's)\n"
           "  --size PX              the thumbnails' side, 1 to 1024 (default 128)\n"
           "  --columns N            thumbnails a row, 1 to 10000 (default 8)\n"
           "  --background B         the sheet's: checker (default), white, black or #RRGGBB\n"
           "  --labels L             under each thumbnail: name (default), name,size or none\n"
           "  --compare              compare every entry's dxt and etc images, worst first\n"
           "  --fail-below DB        exit 1 when an entry's RGB or alpha PSNR is below DB,\n"
           "                         or an entry could not be measured\n"
           "  --compare-with OTHER   compare the set with the set of listing OTHER, entries\n"
           "                         paired by category and name\n"
           "  --all                  list unchanged entries too (--compare-with)\n"
           "  --replace INDEX IMAGE  a new set in which entry INDEX holds IMAGE (PNG or DDS);\n"
           "                         repeat it for more entries\n"
           "  --replace-from DIR     a new set in which every image of DIR (as --export-all\n"
           "                         wrote it) whose pixels changed replaces its entry\n"
           "  --pack FOLDER          a new set of FOLDER's images, a category a subfolder\n"
           "  --output-set FILE      the new set's listing; its encodings' files beside it\n"
           "  --quality Q            DXT5 encoding: fast, normal (default) or best\n"
           "  --dither               etc: diffuse each channel's error (Floyd-Steinberg)\n"
           "  --overwrite            replace a set already at NEWLISTING (both encodings);\n"
           "                         without it such a set is kept and nothing is written\n"
           "  --help                 print this help\n"
           "  --version              print the version (with --verbose also the vector\n"
           "                         paths taken and how they were chosen)\n"
           "\n"
           "exit codes:\n"
           "  0  done (--check: no problem found)\n"
           "  1  failed, named on stderr (--check: at least one problem found)\n"
           "  2  usage error\n";
}

ParsedArguments ParseArguments(const std::vector<std::string>& args) {
    ParsedArguments parsed;
    Options& o = parsed.options;
    bool haveListing = false;
    bool haveOutput = false;
    bool haveFormat = false;
    bool haveDepth = false;
    bool haveSheetOption = false;
    bool haveRepackOption = false;
    int commands = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= args.size()) {
                parsed.error = "option " + a + " needs an argument";
                return false;
            }
            *out = args[++i];
            return true;
        };
        std::string v;
        if (a == "-h" || a == "--help") {
            parsed.help = true;
            return parsed;
        } else if (a == "--version") {
            parsed.version = true;
            parsed.verbose = std::find(args.begin(), args.end(), "--verbose") != args.end();
            return parsed;
        } else if (a == "--mode") {
            if (!value(&v)) {
                return parsed;
            }
            if (v != "dxt" && v != "etc") {
                parsed.error = "--mode must be dxt or etc, not '" + v + "'";
                return parsed;
            }
            o.mode = v;
            o.modeGiven = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--export" || a == "--texel") {
            if (!value(&v)) {
                return parsed;
            }
            if (!ParseNumber(v, std::numeric_limits<std::size_t>::max(), &o.index)) {
                parsed.error = a + " takes an entry index, not '" + v + "'";
                return parsed;
            }
            o.command = a == "--export" ? Command::kExport : Command::kTexel;
            ++commands;
            if (o.command == Command::kTexel) {
                for (std::uint32_t* coordinate : {&o.x, &o.y}) {
                    if (!value(&v)) {
                        return parsed;
                    }
                    if (!ParseNumber(v, std::numeric_limits<std::uint32_t>::max(), coordinate)) {
                        parsed.error = "--texel takes INDEX X Y, not '" + v + "'";
                        return parsed;
                    }
                }
            }
        } else if (a == "--check") {
            o.command = Command::kCheck;
            ++commands;
        } else if (a == "--stats") {
            o.command = Command::kStats;
            ++commands;
            // An entry index when a number comes next and is not the last
            // argument (the listing).
            if (i + 2 < args.size() &&
                ParseNumber(args[i + 1], std::numeric_limits<std::size_t>::max(), &o.index)) {
                o.indexGiven = true;
                ++i;
            }
        } else if (a == "--export-all") {
            if (!value(&o.directory)) {
                return parsed;
            }
            o.command = Command::kExportAll;
            ++commands;
        } else if (a == "--contact-sheet") {
            if (!value(&o.output)) {
                return parsed;
            }
            o.command = Command::kContactSheet;
            ++commands;
        } else if (a == "--compare") {
            o.command = Command::kCompare;
            ++commands;
        } else if (a == "--compare-with") {
            if (!value(&o.other)) {
                return parsed;
            }
            o.command = Command::kCompareWith;
            ++commands;
        } else if (a == "--replace") {
            std::string index;
            std::string image;
            if (!value(&index) || !value(&image)) {
                return parsed;
            }
            std::size_t n = 0;
            if (!ParseNumber(index, std::numeric_limits<std::size_t>::max(), &n)) {
                parsed.error = "--replace takes INDEX IMAGE, not '" + index + "'";
                return parsed;
            }
            commands += o.command == Command::kReplace ? 0 : 1;
            o.command = Command::kReplace;
            o.replacements.emplace_back(n, image);
        } else if (a == "--replace-from" || a == "--pack") {
            if (!value(&o.source)) {
                return parsed;
            }
            o.command = a == "--pack" ? Command::kPack : Command::kReplaceFrom;
            ++commands;
        } else if (a == "--output-set") {
            if (!value(&o.outputSet)) {
                return parsed;
            }
        } else if (a == "--quality") {
            if (!value(&o.quality)) {
                return parsed;
            }
            if (o.quality != "fast" && o.quality != "normal" && o.quality != "best") {
                parsed.error = "--quality must be fast, normal or best, not '" + o.quality + "'";
                return parsed;
            }
            haveRepackOption = true;
        } else if (a == "--dither") {
            o.dither = true;
            haveRepackOption = true;
        } else if (a == "--overwrite") {
            o.overwrite = true;
            haveRepackOption = true;
        } else if (a == "--all") {
            o.all = true;
        } else if (a == "--fail-below") {
            if (!value(&v)) {
                return parsed;
            }
            // A plain decimal number: digits, and a fraction after one point.
            const std::size_t point = v.find('.');
            const bool plain =
                !v.empty() && v.front() != '.' && v.back() != '.' &&
                v.find_first_not_of("0123456789.") == std::string::npos &&
                (point == std::string::npos || v.find('.', point + 1) == std::string::npos);
            const double db = plain ? std::strtod(v.c_str(), nullptr) : -1;
            if (!plain || !(db >= 0 && db <= 1000)) {
                parsed.error = "--fail-below takes decibels from 0 to 1000, not '" + v + "'";
                return parsed;
            }
            o.failBelow = db;
        } else if (a == "--category" || a == "--size" || a == "--columns") {
            if (!value(&v)) {
                return parsed;
            }
            std::size_t n = 0;
            const bool isCategory = a == "--category";
            const std::size_t low = isCategory ? 0 : 1;
            const std::size_t high = isCategory ? 65535 : a == "--size" ? 1024 : 10000;
            if (!ParseNumber(v, high, &n) || n < low) {
                parsed.error = a + " takes a number from " + std::to_string(low) + " to " +
                               std::to_string(high) + ", not '" + v + "'";
                return parsed;
            }
            if (isCategory) {
                o.category = n;
            } else {
                (a == "--size" ? o.size : o.columns) = static_cast<std::uint32_t>(n);
            }
            haveSheetOption = true;
        } else if (a == "--background" || a == "--labels") {
            if (!value(&v)) {
                return parsed;
            }
            const bool background = a == "--background";
            const bool colour =
                v.size() == 7 && v[0] == '#' &&
                v.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos;
            if (background && v != "checker" && v != "white" && v != "black" && !colour) {
                parsed.error =
                    "--background must be checker, white, black or #RRGGBB, not '" + v + "'";
                return parsed;
            }
            if (!background && v != "name" && v != "name,size" && v != "none") {
                parsed.error = "--labels must be name, name,size or none, not '" + v + "'";
                return parsed;
            }
            (background ? o.background : o.labels) = v;
            haveSheetOption = true;
        } else if (a == "--format") {
            if (!value(&o.format)) {
                return parsed;
            }
            if (o.format != "png" && o.format != "bmp") {
                parsed.error = "--format must be png or bmp, not '" + o.format + "'";
                return parsed;
            }
            haveFormat = true;
        } else if (a == "--depth") {
            if (!value(&v)) {
                return parsed;
            }
            if (v != "4" && v != "8") {
                parsed.error = "--depth must be 4 or 8, not '" + v + "'";
                return parsed;
            }
            o.precision = v == "8" ? Precision::kFull : Precision::kNibbles;
            haveDepth = true;
        } else if (a == "--output") {
            if (!value(&o.output)) {
                return parsed;
            }
            haveOutput = true;
        } else if (a.size() > 1 && a[0] == '-' && a != "--") {
            parsed.error = "unknown option '" + a + "'";
            return parsed;
        } else {
            if (a == "--") {
                if (i + 1 >= args.size()) {
                    break;
                }
                ++i;
            }
            if (haveListing) {
                parsed.error = "more than one listing given";
                return parsed;
            }
            o.listing = args[i];
            haveListing = true;
        }
    }
    const bool exportImage = o.command == Command::kExport;
    const bool repack = o.command == Command::kReplace || o.command == Command::kReplaceFrom ||
                        o.command == Command::kPack;
    if (o.command == Command::kPack && haveListing) {
        parsed.error = "--pack makes a set: it takes no listing";
    } else if (!haveListing && o.command != Command::kPack) {
        parsed.error = "no listing given";
    } else if (commands > 1) {
        parsed.error =
            "--export, --texel, --check, --stats, --export-all, --contact-sheet, --compare, "
            "--compare-with, --replace, --replace-from and --pack cannot be combined";
    } else if (repack != !o.outputSet.empty()) {
        parsed.error = "--replace, --replace-from and --pack go with --output-set";
    } else if (haveRepackOption && !repack) {
        parsed.error =
            "--quality, --dither and --overwrite go only with --replace, "
            "--replace-from and --pack";
    } else if (o.all && o.command != Command::kCompareWith) {
        parsed.error = "--all goes only with --compare-with";
    } else if (o.failBelow && o.command != Command::kCompare && !repack) {
        parsed.error =
            "--fail-below goes only with --compare, --replace, --replace-from and --pack";
    } else if (haveSheetOption && o.command != Command::kContactSheet) {
        parsed.error =
            "--category, --size, --columns, --background and --labels go only with "
            "--contact-sheet";
    } else if (o.command == Command::kContactSheet && !EndsWithNoCase(o.output, ".png")) {
        parsed.error = "--contact-sheet writes a PNG file: its name must end in .png";
    } else if (exportImage != haveOutput) {
        parsed.error = "--export and --output go together";
    } else if (o.json && o.command != Command::kList && o.command != Command::kCheck &&
               o.command != Command::kStats && o.command != Command::kCompare &&
               o.command != Command::kCompareWith && !repack) {
        parsed.error =
            "--json goes only with listing the set, --check, --stats, the comparisons and the "
            "commands that write a set";
    } else if (haveFormat && o.command != Command::kExportAll) {
        parsed.error = "--format goes only with --export-all";
    } else if (o.command == Command::kExportAll && o.directory.empty()) {
        parsed.error = "--export-all needs a folder";
    } else if (haveOutput && !EndsWithNoCase(o.output, ".bmp") &&
               !EndsWithNoCase(o.output, ".png")) {
        parsed.error = "--output must name a .bmp or .png file";
    } else if (haveDepth && o.command != Command::kExport && o.command != Command::kExportAll &&
               o.command != Command::kStats) {
        parsed.error = "--depth goes only with --export, --export-all or --stats";
    } else if (o.precision == Precision::kFull &&
               (EndsWithNoCase(o.output, ".bmp") ||
                (o.command == Command::kExportAll && o.format == "bmp"))) {
        parsed.error =
            "--depth 8 needs PNG images: a BMP file holds the preview block, 4 bits a channel";
    }
    return parsed;
}

}  // namespace marrowix::inspect
