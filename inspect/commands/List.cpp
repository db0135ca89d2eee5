// Listing a set: the tree as the viewer shows it, one node a line, or the
// whole set as one JSON object.
#include <algorithm>

#include "inspect/commands/CommandSupport.h"
#include "inspect/output/LineWriter.h"
#include "textureset/SetTree.h"

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

void PrintJson(const CTextureSet& set, std::ostream& out) {
    LineWriter writer(out);
    JsonWriter json(writer.Line());
    json.Object().Key("mode").Word(ModeWord(set.GetMode()));
    json.Key("files").Object();
    json.Key("listing").Bool(set.HasListingFile());
    json.Key("offsets").Bool(set.HasOffsetTableFile());
    json.Key("data").Bool(set.HasDataFile());
    json.End().Key("categories").Array();
    for (std::size_t c = 0; c < set.GetCategoryCount(); ++c) {
        json.String(set.GetCategoryName(c));
        writer.Flush();
    }
    json.End().Key("entries").Array();
    const std::span<const StoredEntry> entries = set.Entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const StoredEntry& e = entries[i];
        json.Object().Key("index").Number(i).Key("name").NameBytes(set.GetEntryNameBytes(i));
        json.Key("width").Signed(e.width).Key("height").Signed(e.height);
        json.Key("offset").Number(e.offset).Key("category").Number(e.category).End();
        writer.Flush();
    }
    json.End().End();
    writer.Line() += '\n';
    writer.Flush();
}

}  // namespace

int Execute(const ListCommand& c, Io& io) {
    CTextureSet set;
    bool partial = false;
    if (!OpenForCommand(set, c.set, io, &partial)) {
        return 1;
    }
    io.doing = "list the set";
    if (c.json) {
        PrintJson(set, io.out);
    } else {
        PrintTree(set, io.out);
    }
    return WholeSetCode(0, partial, io.err);
}

}  // namespace marrowix::inspect
