// --check: every problem of a set, one a line or as one JSON object. The
// problems are all found before the first byte is printed.
#include "inspect/commands/CommandSupport.h"
#include "inspect/output/JsonWriter.h"
#include "inspect/output/LineWriter.h"
#include "textureset/DisplayText.h"
#include "textureset/SetCheck.h"

namespace marrowix::inspect {
namespace {

void PrintJson(const std::vector<SetProblem>& problems, LineWriter& writer) {
    JsonWriter json(writer.Line());
    json.Object().Key("problems").Array();
    for (const SetProblem& p : problems) {
        json.Object().Key("kind").Word(p.kind);
        if (p.entry) {
            json.Key("entry").Number(*p.entry);
        }
        if (p.line) {
            json.Key("line").Number(*p.line);
        }
        if (p.other) {
            json.Key("other").Number(*p.other);
        }
        json.Key("message").Utf8(p.message).End();
        writer.Flush();
    }
    json.End().End();
    writer.Line() += '\n';
    writer.Flush();
}

void PrintLines(const CTextureSet& set, const std::vector<SetProblem>& problems,
                LineWriter& writer) {
    std::string& line = writer.Line();
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
}

}  // namespace

int Execute(const CheckCommand& c, Io& io) {
    io.doing = "check the set";
    CTextureSet set;
    const std::vector<SetProblem> problems =
        CheckTextureSet(set, FromNativePath(c.set.listing), ModeWordU16(c.set.mode));
    LineWriter writer(io.out);
    if (c.json) {
        PrintJson(problems, writer);
    } else {
        PrintLines(set, problems, writer);
        if (problems.empty()) {
            io.out << DisplayPath(c.set.listing) << ": no problems found\n";
        } else {
            io.err << kProgram << ": " << problems.size()
                   << (problems.size() == 1 ? " problem" : " problems") << " found\n";
        }
    }
    return problems.empty() ? 0 : 1;
}

}  // namespace marrowix::inspect
