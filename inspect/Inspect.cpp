#include "inspect/Inspect.h"

#include <cstdio>
#include <sstream>

#include "decode/Decode.h"
#include "inspect/ImageFiles.h"
#include "textureset/SetTree.h"

namespace marrowix::inspect {
namespace {

constexpr const char* kProgram = "marrowix-inspect";

bool ParseIndex(const std::string& text, std::size_t* index) {
    if (text.empty() || text.size() > 18) {
        return false;
    }
    std::size_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::size_t>(c - '0');
    }
    *index = value;
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

// A name on one line of text: control characters written as escapes.
std::string DisplayName(std::u16string_view name) {
    std::string out;
    for (char16_t c : name) {
        if (c == u'\n') {
            out += "\\n";
        } else if (c == u'\r') {
            out += "\\r";
        } else if (c == u'\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", static_cast<unsigned>(c));
            out += buffer;
        } else {
            out += ToUtf8(std::u16string_view(&c, 1));
        }
    }
    return out;
}

std::string EntryLine(const TextureEntry& e) {
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "Dimensions: %d x %d  Offset: 0x%X", e.width, e.height,
                  e.offset);
    std::string name = DisplayName(e.name);
    if (name.size() < 24) {
        name.resize(24, ' ');
    }
    return name + "  " + numbers;
}

std::string FileWarning(const char* what, const std::u16string& path, const std::string& reason) {
    return std::string(kProgram) + ": warning: cannot open " + what + " '" + ToUtf8(path) +
           "': " + reason;
}

}  // namespace

std::string UsageText() {
    return "usage: marrowix-inspect [--mode dxt|etc] [--json] LISTING\n"
           "       marrowix-inspect [--mode dxt|etc] --export INDEX --output FILE.bmp|FILE.png "
           "LISTING\n";
}

ParsedArguments ParseArguments(const std::vector<std::string>& args) {
    ParsedArguments parsed;
    Options& o = parsed.options;
    bool haveListing = false;
    bool haveOutput = false;
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
        } else if (a == "--export") {
            if (!value(&v)) {
                return parsed;
            }
            if (!ParseIndex(v, &o.index)) {
                parsed.error = "--export takes an entry index, not '" + v + "'";
                return parsed;
            }
            o.exportImage = true;
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
    if (!haveListing) {
        parsed.error = "no listing given";
    } else if (o.exportImage != haveOutput) {
        parsed.error = "--export and --output go together";
    } else if (o.exportImage && o.json) {
        parsed.error = "--json cannot be used with --export";
    } else if (haveOutput && !EndsWithNoCase(o.output, ".bmp") &&
               !EndsWithNoCase(o.output, ".png")) {
        parsed.error = "--output must name a .bmp or .png file";
    }
    return parsed;
}

void PrintTree(const CTextureSet& set, std::ostream& out) {
    const SetTree tree(set);
    const std::vector<TextureEntry>& entries = set.Entries();
    for (std::size_t c = 0; c < tree.CategoryCount(); ++c) {
        out << "[+] " << DisplayName(set.GetCategoryName(c)) << '\n';
        for (std::size_t i : tree.Children(c)) {
            out << "    " << EntryLine(entries[i]) << '\n';
        }
    }
    for (std::size_t i : tree.RootEntries()) {
        out << EntryLine(entries[i]) << '\n';
    }
}

std::string JsonString(std::u16string_view text) {
    std::string out = "\"";
    for (char16_t c : text) {
        if (c == u'"') {
            out += "\\\"";
        } else if (c == u'\\') {
            out += "\\\\";
        } else if (c == u'\n') {
            out += "\\n";
        } else if (c == u'\r') {
            out += "\\r";
        } else if (c == u'\t') {
            out += "\\t";
        } else if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF)) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(c));
            out += buffer;
        } else {
            out += ToUtf8(std::u16string_view(&c, 1));
        }
    }
    return out + "\"";
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
    const std::vector<TextureEntry>& entries = set.Entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const TextureEntry& e = entries[i];
        out << (i ? "," : "") << "{\"index\":" << i << ",\"name\":" << JsonString(e.name)
            << ",\"width\":" << e.width << ",\"height\":" << e.height << ",\"offset\":" << e.offset
            << ",\"category\":" << e.category << '}';
    }
    out << "]}\n";
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const ParsedArguments parsed = ParseArguments(args);
    if (parsed.help) {
        out << UsageText();
        return 0;
    }
    if (!parsed.error.empty()) {
        err << kProgram << ": " << parsed.error << '\n' << UsageText();
        return 2;
    }
    const Options& o = parsed.options;

    CTextureSet set;
    OpenTextureSet(set, FromUtf8(o.listing), FromUtf8(o.mode));
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

    if (!o.exportImage) {
        if (o.json) {
            PrintJson(set, o.mode, out);
        } else {
            PrintTree(set, out);
        }
        return 0;
    }

    if (o.index >= set.GetEntryCount()) {
        err << kProgram << ": entry " << o.index << ": no such entry (the set has "
            << set.GetEntryCount() << ")\n";
        return 1;
    }
    const std::string entryName =
        "entry " + std::to_string(o.index) + " " + JsonString(set.GetEntryName(o.index));
    const Result<Buffer<std::uint8_t>> dib = BuildPreviewDib(set, o.index);
    if (!dib.ok()) {
        err << kProgram << ": " << entryName << ": " << dib.error << '\n';
        return 1;
    }
    const std::string error = EndsWithNoCase(o.output, ".png") ? WritePngFile(o.output, dib.value)
                                                               : WriteBmpFile(o.output, dib.value);
    if (!error.empty()) {
        err << kProgram << ": cannot write '" << o.output << "' (" << entryName << "): " << error
            << '\n';
        return 1;
    }
    return 0;
}

}  // namespace marrowix::inspect
