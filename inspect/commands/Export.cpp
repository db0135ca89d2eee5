// --export: the preview image of one entry, as a BMP or PNG file.
#include "inspect/commands/CommandSupport.h"
#include "textureset/DisplayText.h"

namespace marrowix::inspect {

int Execute(const ExportCommand& c, Io& io) {
    CTextureSet set;
    bool partial = false;
    if (!OpenForCommand(set, c.set, io, &partial)) {
        return 1;
    }
    io.doing = "export the texture";
    if (c.index >= set.GetEntryCount()) {
        io.err << kProgram << ": entry " << c.index << ": no such entry (the set has "
               << set.GetEntryCount() << ")\n";
        return 1;
    }
    const std::string entryName = EntryTitle(set, c.index);
    if (const std::string refused = CheckEntry(set, c.index); !refused.empty()) {
        io.err << kProgram << ": " << entryName << ": " << refused << '\n';
        return 1;
    }
    const SetFileGuard guard(set);
    const std::string error =
        ExportEntryImage(c.output, set, c.index, c.format, c.precision, guard);
    if (!error.empty()) {
        io.err << kProgram << ": cannot write '" << DisplayPath(c.output) << "' (" << entryName
               << "): " << error << '\n';
        return 1;
    }
    return 0;
}

}  // namespace marrowix::inspect
