#include "inspect/Inspect.h"

#include <new>

#include "compare/MeasureKernels.h"
#include "decode/Decode.h"
#include "imagefiles/ImageFiles.h"
#include "inspect/ExportAll.h"
#include "inspect/LineWriter.h"
#include "textureset/SetCheck.h"
#include "textureset/SetTree.h"
#include "thumbnails/ContactSheet.h"

namespace marrowix::inspect {
namespace {

// One texture of the tree: "#INDEX NAME", the index padded to `digits`
// (those of the largest index) so that the names and the columns after them
// line up whatever the indexes' widths.
void AppendEntryLine(std::string& line, const CTextureSet& set, std::size_t i, std::size_t digits) {
    const StoredEntry& e = set.Entries()[i];
    line += '#';
    const std::size_t indexStart = line.size();
    AppendNumber(line, i);
    line.append(digits - std::min(digits, line.size() - indexStart) + 1, ' ');
    const std::size_t start = line.size();
    AppendEscapedBytes(line, set.GetEntryNameBytes(i), false);
    if (line.size() - start < 24) {
        line.append(24 - (line.size() - start), ' ');
    }
    line += "  Dimensions: ";
    AppendSigned(line, e.width);
    line += " x ";
    AppendSigned(line, e.height);
    line += "  Offset: 0x";
    AppendHexUpper(line, e.offset);
}

std::string FileWarning(const char* what, const std::u16string& path, const std::string& reason) {
    return std::string(kProgram) + ": warning: cannot open " + what + " '" +
           DisplayPath(ToNativePath(path)) + "': " + reason;
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
        << ",\"texel\":" << t.texel << ",\"rgba8\":[" << ((t.full >> 16) & 255) << ','
        << ((t.full >> 8) & 255) << ',' << (t.full & 255) << ',' << (t.full >> 24)
        << "],\"source\":{\"offset\":" << t.offset << ",\"size\":" << t.size << ",\"bytes\":\""
        << Hex(t.bytes) << "\"}";
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

// The problems are all found before the first byte is printed.
int PrintCheck(const Options& o, std::ostream& out, std::ostream& err) {
    CTextureSet set;
    const std::vector<SetProblem> problems =
        CheckTextureSet(set, FromNativePath(o.listing), FromUtf8(o.mode));
    LineWriter writer(out);
    std::string& line = writer.Line();
    if (o.json) {
        line += "{\"problems\":[";
        for (std::size_t i = 0; i < problems.size(); ++i) {
            const SetProblem& p = problems[i];
            line += i ? ",{\"kind\":\"" : "{\"kind\":\"";
            line += p.kind;
            line += '"';
            for (const auto& [key, value] :
                 {std::pair{",\"entry\":",
                            p.entry ? std::optional<std::uint64_t>(*p.entry) : std::nullopt},
                  std::pair{",\"line\":", p.line},
                  std::pair{",\"other\":",
                            p.other ? std::optional<std::uint64_t>(*p.other) : std::nullopt}}) {
                if (value) {
                    line += key;
                    AppendNumber(line, *value);
                }
            }
            line += ",\"message\":";
            AppendJsonString(line, FromUtf8(p.message));
            line += '}';
            writer.Flush();
        }
        line += "]}\n";
        writer.Flush();
        return problems.empty() ? 0 : 1;
    }
    for (const SetProblem& p : problems) {
        if (p.entry) {
            line += "entry ";
            AppendNumber(line, *p.entry);
            line += " \"";
            AppendEscapedBytes(line, set.GetEntryNameBytes(*p.entry), false);
            line += "\" (listing line ";
            AppendNumber(line, *p.line);
            line += "): ";
        } else if (p.line) {
            line += "listing line ";
            AppendNumber(line, *p.line);
            line += ": ";
        }
        line += p.message;
        line += '\n';
        writer.Flush();
    }
    if (problems.empty()) {
        out << DisplayPath(o.listing) << ": no problems found\n";
    } else {
        err << kProgram << ": " << problems.size()
            << (problems.size() == 1 ? " problem" : " problems") << " found\n";
    }
    return problems.empty() ? 0 : 1;
}

int ExportOne(const CTextureSet& set, const Options& o, std::ostream& err) {
    if (o.index >= set.GetEntryCount()) {
        err << kProgram << ": entry " << o.index << ": no such entry (the set has "
            << set.GetEntryCount() << ")\n";
        return 1;
    }
    const std::string entryName = EntryTitle(set, o.index);
    const ImageFormat format =
        EndsWithNoCase(o.output, ".png") ? ImageFormat::kPng : ImageFormat::kBmp;
    if (const std::string refused = CheckEntry(set, o.index); !refused.empty()) {
        err << kProgram << ": " << entryName << ": " << refused << '\n';
        return 1;
    }
    const SetFileGuard guard(set);
    const std::string error = ExportEntryImage(o.output, set, o.index, format, o.precision, guard);
    if (!error.empty()) {
        err << kProgram << ": cannot write '" << DisplayPath(o.output) << "' (" << entryName
            << "): " << error << '\n';
        return 1;
    }
    return 0;
}

int WriteContactSheet(const CTextureSet& set, const Options& o, std::ostream& err) {
    const SetTree tree(set);
    std::vector<std::size_t> entries;
    if (o.category) {
        if (*o.category >= tree.CategoryCount()) {
            err << kProgram << ": no category " << *o.category << " (the set has "
                << tree.CategoryCount() << ")\n";
            return 1;
        }
        const auto children = tree.Children(*o.category);
        entries.assign(children.begin(), children.end());
    } else {
        for (std::size_t c = 0; c < tree.CategoryCount(); ++c) {
            const auto children = tree.Children(c);
            entries.insert(entries.end(), children.begin(), children.end());
        }
        const auto loose = tree.RootEntries();
        entries.insert(entries.end(), loose.begin(), loose.end());
    }
    SheetStyle style;
    style.checker = o.background == "checker";
    style.background =
        o.background == "black" ? 0x000000
        : o.background[0] == '#'
            ? static_cast<std::uint32_t>(std::stoul(o.background.substr(1), nullptr, 16))
            : 0xFFFFFF;
    style.labels = o.labels == "none"        ? SheetStyle::Labels::kNone
                   : o.labels == "name,size" ? SheetStyle::Labels::kNameAndSize
                                             : SheetStyle::Labels::kName;
    const Result<ContactSheet> sheet = MakeContactSheet(set, entries, o.size, o.columns, style);
    if (!sheet.ok()) {
        err << kProgram << ": " << sheet.error << '\n';
        return 1;
    }
    const std::string error = WriteRgbaPngFile(o.output, sheet.value.width, sheet.value.height,
                                               sheet.value.rgba, SetFileGuard(set));
    if (!error.empty()) {
        err << kProgram << ": cannot write '" << DisplayPath(o.output) << "': " << error << '\n';
        return 1;
    }
    return 0;
}

// Runs a parsed command; `doing` says what it is doing, for a message when
// memory runs out.
int RunCommand(const Options& o, std::ostream& out, std::ostream& err, bool errIsTerminal,
               const char** doing) {
    if (o.command == Command::kCheck) {
        *doing = "check the set";
        return PrintCheck(o, out, err);
    }
    if (o.command == Command::kReplace || o.command == Command::kReplaceFrom ||
        o.command == Command::kPack) {
        *doing = "write the new set";
        return Repack(o, out, err, errIsTerminal);
    }
    if (o.command == Command::kCompare || o.command == Command::kCompareWith) {
        *doing = "compare the sets";
        return o.command == Command::kCompare ? CompareEncodings(o, out, err)
                                              : CompareVersions(o, out, err);
    }
    *doing = "read the listing";
    CTextureSet set;
    OpenTextureSet(set, FromNativePath(o.listing), FromUtf8(o.mode));
    const std::string listing = DisplayPath(o.listing);
    if (!set.HasListingFile()) {
        err << kProgram << ": cannot open listing '" << listing << "': " << set.ListingError()
            << '\n';
        return 1;
    }
    // A listing read only in part: whatever reports on the whole set is
    // incomplete, and says so by its exit code.
    const bool partial = !set.ListingError().empty();
    if (partial) {
        err << kProgram << ": warning: listing '" << listing << "': " << set.ListingError() << '\n';
    }
    if (!set.HasOffsetTableFile()) {
        err << FileWarning("offset table", set.OffsetTablePath(), set.OffsetTableError()) << '\n';
    }
    if (!set.HasDataFile()) {
        err << FileWarning("data file", set.DataPath(), set.DataError()) << '\n';
    }

    int code = 0;
    switch (o.command) {
        case Command::kList:
            *doing = "list the set";
            if (o.json) {
                PrintJson(set, o.mode, out);
            } else {
                PrintTree(set, out);
            }
            break;
        case Command::kTexel:
            *doing = "locate the texel";
            return PrintTexel(set, o, out, err);
        case Command::kExportAll:
            *doing = "export the set";
            code = ExportAll(set, SetFileGuard(set), o.directory, o.format, o.precision, err,
                             errIsTerminal);
            break;
        case Command::kContactSheet:
            *doing = "make the contact sheet";
            return WriteContactSheet(set, o, err);
        case Command::kStats:
            *doing = "compute the statistics";
            code = PrintStats(set, o, out, err);
            break;
        default:
            *doing = "export the texture";
            return ExportOne(set, o, err);
    }
    if (partial) {
        err << kProgram << ": the listing was read only in part; the set is incomplete\n";
        code = 1;
    }
    return code;
}

}  // namespace

std::string EntryTitle(const CTextureSet& set, std::size_t index) {
    return "entry " + std::to_string(index) + " " + JsonString(set.GetEntryName(index));
}

void PrintTree(const CTextureSet& set, std::ostream& out) {
    const SetTree tree(set);  // before the first line is printed
    const std::size_t digits =
        std::to_string(std::max<std::size_t>(set.GetEntryCount(), 1) - 1).size();
    LineWriter writer(out);
    std::string& line = writer.Line();
    for (std::size_t c = 0; c < tree.CategoryCount(); ++c) {
        line += "[+] ";
        AppendEscaped(line, set.GetCategoryName(c), false);
        line += '\n';
        writer.Flush();
        for (std::size_t i : tree.Children(c)) {
            line += "    ";
            AppendEntryLine(line, set, i, digits);
            line += '\n';
            writer.Flush();
        }
    }
    for (std::size_t i : tree.RootEntries()) {
        AppendEntryLine(line, set, i, digits);
        line += '\n';
        writer.Flush();
    }
}

void PrintJson(const CTextureSet& set, const std::string& mode, std::ostream& out) {
    auto boolText = [](bool b) { return b ? "true" : "false"; };
    LineWriter writer(out);
    std::string& line = writer.Line();
    line += "{\"mode\":\"";
    line += mode;
    line += "\",\"files\":{\"listing\":";
    line += boolText(set.HasListingFile());
    line += ",\"offsets\":";
    line += boolText(set.HasOffsetTableFile());
    line += ",\"data\":";
    line += boolText(set.HasDataFile());
    line += "},\"categories\":[";
    for (std::size_t c = 0; c < set.GetCategoryCount(); ++c) {
        line += c ? "," : "";
        AppendJsonString(line, set.GetCategoryName(c));
        writer.Flush();
    }
    line += "],\"entries\":[";
    const std::span<const StoredEntry> entries = set.Entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const StoredEntry& e = entries[i];
        line += i ? ",{\"index\":" : "{\"index\":";
        AppendNumber(line, i);
        line += ",\"name\":";
        line += '"';
        AppendEscapedBytes(line, set.GetEntryNameBytes(i), true);
        line += "\",\"width\":";
        AppendSigned(line, e.width);
        line += ",\"height\":";
        AppendSigned(line, e.height);
        line += ",\"offset\":";
        AppendNumber(line, e.offset);
        line += ",\"category\":";
        AppendNumber(line, e.category);
        line += '}';
        writer.Flush();
    }
    line += "]}\n";
    writer.Flush();
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
        if (parsed.verbose) {
            out << "decode path: " << DescribeDecodePath() << '\n'
                << "measure path: " << DescribeMeasurePath() << '\n';
        }
        return 0;
    }
    if (!parsed.error.empty()) {
        err << kProgram << ": " << parsed.error << '\n' << UsageText();
        return 2;
    }
    const char* doing = "start";
    try {
        return RunCommand(parsed.options, out, err, errIsTerminal, &doing);
    } catch (const std::bad_alloc&) {
        out.flush();
        err << kProgram << ": not enough memory to " << doing << '\n';
        return 1;
    }
}

}  // namespace marrowix::inspect
