#include "inspect/Inspect.h"

#include <cstdio>
#include <limits>

#include "decode/Decode.h"
#include "imagefiles/ImageFiles.h"
#include "inspect/ExportAll.h"
#include "textureset/SetCheck.h"
#include "textureset/SetTree.h"

namespace marrowix::inspect {
namespace {

constexpr const char* kProgram = "marrowix-inspect";

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

bool IsControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// A text on one line: line ends and tabs as \n, \r, \t, other control
// characters as \xNN, or for JSON as \uNNNN with quotes, backslashes and
// unpaired surrogates escaped too.
std::string Escaped(std::u16string_view text, bool json) {
    std::string out;
    for (char16_t c : text) {
        if (json && (c == u'"' || c == u'\\')) {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == u'\n') {
            out += "\\n";
        } else if (c == u'\r') {
            out += "\\r";
        } else if (c == u'\t') {
            out += "\\t";
        } else if (IsControl(c) || (json && c >= 0xD800 && c <= 0xDFFF)) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, json ? "\\u%04X" : "\\x%02X",
                          static_cast<unsigned>(c));
            out += buffer;
        } else {
            out += ToUtf8(std::u16string_view(&c, 1));
        }
    }
    return out;
}

std::string EntryLine(const CTextureSet& set, std::size_t i) {
    const StoredEntry& e = set.Entries()[i];
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "Dimensions: %d x %d  Offset: 0x%X", e.width, e.height,
                  e.offset);
    std::string name = DisplayName(set.GetEntryName(i));
    if (name.size() < 24) {
        name.resize(24, ' ');
    }
    return name + "  " + numbers;
}

std::string FileWarning(const char* what, const std::u16string& path, const std::string& reason) {
    return std::string(kProgram) + ": warning: cannot open " + what + " '" + ToUtf8(path) +
           "': " + reason;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

int PrintTexel(const CTextureSet& set, const Options& o, std::ostream& out, std::ostream& err) {
    const Result<TexelLocation> found = LocateTexel(set, o.index, o.x, o.y);
    if (!found.ok()) {
        err << kProgram << ": "
            << (o.index < set.GetEntryCount() ? EntryTitle(set, o.index)
                                              : "entry " + std::to_string(o.index))
            << ": " << found.error << '\n';
        return 1;
    }
    const TexelLocation& t = found.value;
    out << "{\"index\":" << o.index << ",\"x\":" << o.x << ",\"y\":" << o.y
        << ",\"texel\":" << t.texel << ",\"source\":{\"offset\":" << t.offset
        << ",\"size\":" << t.size << ",\"bytes\":\"" << Hex(t.bytes) << "\"}";
    if (t.hasBlock) {
        out << ",\"block\":{\"column\":" << t.blockColumn << ",\"row\":" << t.blockRow
            << ",\"alpha0\":" << unsigned{t.alpha0} << ",\"alpha1\":" << unsigned{t.alpha1}
            << ",\"colour0\":" << t.colour0 << ",\"colour1\":" << t.colour1
            << ",\"colourIndex\":" << unsigned{t.colourIndex}
            << ",\"alphaIndex\":" << unsigned{t.alphaIndex} << '}';
    }
    out << "}\n";
    return 0;
}

int PrintCheck(const Options& o, std::ostream& out, std::ostream& err) {
    CTextureSet set;
    const std::vector<SetProblem> problems =
        CheckTextureSet(set, FromNativePath(o.listing), FromUtf8(o.mode));
    if (o.json) {
        out << "{\"problems\":[";
        for (std::size_t i = 0; i < problems.size(); ++i) {
            const SetProblem& p = problems[i];
            out << (i ? "," : "") << "{\"kind\":\"" << p.kind << '"';
            if (p.entry) {
                out << ",\"entry\":" << *p.entry;
            }
            if (p.line) {
                out << ",\"line\":" << *p.line;
            }
            if (p.other) {
                out << ",\"other\":" << *p.other;
            }
            out << ",\"message\":" << JsonString(FromUtf8(p.message)) << '}';
        }
        out << "]}\n";
    } else {
        for (const SetProblem& p : problems) {
            if (p.entry) {
                out << "entry " << *p.entry << " \"" << DisplayName(set.GetEntryName(*p.entry))
                    << "\" (listing line " << *p.line << "): ";
            } else if (p.line) {
                out << "listing line " << *p.line << ": ";
            }
            out << p.message << '\n';
        }
        if (problems.empty()) {
            out << o.listing << ": no problems found\n";
        } else {
            err << kProgram << ": " << problems.size()
                << (problems.size() == 1 ? " problem" : " problems") << " found\n";
        }
    }
    return problems.empty() ? 0 : 1;
}

}  // namespace

std::string EntryTitle(const CTextureSet& set, std::size_t index) {
    return "entry " + std::to_string(index) + " " + JsonString(set.GetEntryName(index));
}

std::string DisplayName(std::u16string_view name) {
    return Escaped(name, false);
}

std::string UsageText() {
    return "usage: marrowix-inspect [--mode dxt|etc] [--json] LISTING\n"
           "       marrowix-inspect [--mode dxt|etc] --export INDEX --output FILE.bmp|FILE.png "
           "LISTING\n"
           "       marrowix-inspect [--mode dxt|etc] --texel INDEX X Y LISTING\n"
           "       marrowix-inspect [--mode dxt|etc] --check [--json] LISTING\n"
           "       marrowix-inspect [--mode dxt|etc] --export-all DIR [--format png|bmp] LISTING\n"
           "       marrowix-inspect --help | --version\n";
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
           "  --export-all DIR       write every texture's image into DIR, by category\n"
           "  --format png|bmp       the image format of --export-all (default png)\n"
           "  --help                 print this help\n"
           "  --version              print the version\n"
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
        } else if (a == "--export-all") {
            if (!value(&o.directory)) {
                return parsed;
            }
            o.command = Command::kExportAll;
            ++commands;
        } else if (a == "--format") {
            if (!value(&o.format)) {
                return parsed;
            }
            if (o.format != "png" && o.format != "bmp") {
                parsed.error = "--format must be png or bmp, not '" + o.format + "'";
                return parsed;
            }
            haveFormat = true;
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
    if (!haveListing) {
        parsed.error = "no listing given";
    } else if (commands > 1) {
        parsed.error = "--export, --texel, --check and --export-all cannot be combined";
    } else if (exportImage != haveOutput) {
        parsed.error = "--export and --output go together";
    } else if (o.json && o.command != Command::kList && o.command != Command::kCheck) {
        parsed.error = "--json goes only with listing the set or --check";
    } else if (haveFormat && o.command != Command::kExportAll) {
        parsed.error = "--format goes only with --export-all";
    } else if (o.command == Command::kExportAll && o.directory.empty()) {
        parsed.error = "--export-all needs a folder";
    } else if (haveOutput && !EndsWithNoCase(o.output, ".bmp") &&
               !EndsWithNoCase(o.output, ".png")) {
        parsed.error = "--output must name a .bmp or .png file";
    }
    return parsed;
}

void PrintTree(const CTextureSet& set, std::ostream& out) {
    const SetTree tree(set);
    for (std::size_t c = 0; c < tree.CategoryCount(); ++c) {
        out << "[+] " << DisplayName(set.GetCategoryName(c)) << '\n';
        for (std::size_t i : tree.Children(c)) {
            out << "    " << EntryLine(set, i) << '\n';
        }
    }
    for (std::size_t i : tree.RootEntries()) {
        out << EntryLine(set, i) << '\n';
    }
}

std::string JsonString(std::u16string_view text) {
    return "\"" + Escaped(text, true) + "\"";
}

void PrintJson(const CTextureSet& set, const std::string& mode, std::ostream& out) {
    auto boolText = [](bool b) { return b ? "true" : "false"; };
    out << "{\"mode\":\"" << mode << "\",\"files\":{\"listing\":" << boolText(set.HasListingFile())
        << ",\"offsets\":" << boolText(set.HasOffsetTableFile())
        << ",\"data\":" << boolText(set.HasDataFile()) << "},\"categories\":[";
    for (std::size_t c = 0; c < set.GetCategoryCount(); ++c) {
        out << (c ? "," : "") << JsonString(set.GetCategoryName(c));
    }
    out << "],\"entries\":[";
    const std::span<const StoredEntry> entries = set.Entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const StoredEntry& e = entries[i];
        out << (i ? "," : "") << "{\"index\":" << i
            << ",\"name\":" << JsonString(set.GetEntryName(i)) << ",\"width\":" << e.width
            << ",\"height\":" << e.height << ",\"offset\":" << e.offset
            << ",\"category\":" << e.category << '}';
    }
    out << "]}\n";
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool errIsTerminal) {
    const ParsedArguments parsed = ParseArguments(args);
    if (parsed.help) {
        out << HelpText();
        return 0;
    }
    if (parsed.version) {
        out << kProgram << " " << MARROWIX_VERSION << '\n';
        return 0;
    }
    if (!parsed.error.empty()) {
        err << kProgram << ": " << parsed.error << '\n' << UsageText();
        return 2;
    }
    const Options& o = parsed.options;
    if (o.command == Command::kCheck) {
        return PrintCheck(o, out, err);
    }

    CTextureSet set;
    OpenTextureSet(set, FromNativePath(o.listing), FromUtf8(o.mode));
    if (!set.HasListingFile()) {
        err << kProgram << ": cannot open listing '" << o.listing << "': " << set.ListingError()
            << '\n';
        return 1;
    }
    if (!set.ListingError().empty()) {
        err << kProgram << ": warning: listing '" << o.listing << "': " << set.ListingError()
            << '\n';
    }
    if (!set.HasOffsetTableFile()) {
        err << FileWarning("offset table", set.OffsetTablePath(), set.OffsetTableError()) << '\n';
    }
    if (!set.HasDataFile()) {
        err << FileWarning("data file", set.DataPath(), set.DataError()) << '\n';
    }

    switch (o.command) {
        case Command::kList:
            if (o.json) {
                PrintJson(set, o.mode, out);
            } else {
                PrintTree(set, out);
            }
            return 0;
        case Command::kTexel:
            return PrintTexel(set, o, out, err);
        case Command::kExportAll:
            return ExportAll(set, SetFileGuard(set), o.directory, o.format, err, errIsTerminal);
        default:
            break;
    }

    if (o.index >= set.GetEntryCount()) {
        err << kProgram << ": entry " << o.index << ": no such entry (the set has "
            << set.GetEntryCount() << ")\n";
        return 1;
    }
    const std::string entryName = EntryTitle(set, o.index);
    const Result<Buffer<std::uint8_t>> dib = BuildPreviewDib(set, o.index);
    if (!dib.ok()) {
        err << kProgram << ": " << entryName << ": " << dib.error << '\n';
        return 1;
    }
    const SetFileGuard guard(set);
    const std::string error = EndsWithNoCase(o.output, ".png")
                                  ? WritePngFile(o.output, dib.value, guard)
                                  : WriteBmpFile(o.output, dib.value, guard);
    if (!error.empty()) {
        err << kProgram << ": cannot write '" << o.output << "' (" << entryName << "): " << error
            << '\n';
        return 1;
    }
    return 0;
}

}  // namespace marrowix::inspect
