// --contact-sheet: the thumbnails of a set's textures (or of one category's)
// with their names, in the tree's order, in one PNG.
#include "inspect/commands/CommandSupport.h"
#include "textureset/DisplayText.h"
#include "textureset/SetTree.h"

namespace marrowix::inspect {

int Execute(const ContactSheetCommand& c, Io& io) {
    CTextureSet set;
    bool partial = false;
    if (!OpenForCommand(set, c.set, io, &partial)) {
        return 1;
    }
    io.doing = "make the contact sheet";
    const SetTree tree(set);
    std::vector<std::size_t> entries;
    if (c.category) {
        if (*c.category >= tree.CategoryCount()) {
            io.err << kProgram << ": no category " << *c.category << " (the set has "
                   << tree.CategoryCount() << ")\n";
            return 1;
        }
        const auto children = tree.Children(*c.category);
        entries.assign(children.begin(), children.end());
    } else {
        for (std::size_t k = 0; k < tree.CategoryCount(); ++k) {
            const auto children = tree.Children(k);
            entries.insert(entries.end(), children.begin(), children.end());
        }
        const auto loose = tree.RootEntries();
        entries.insert(entries.end(), loose.begin(), loose.end());
    }
    const Result<ContactSheet> sheet = MakeContactSheet(set, entries, c.size, c.columns, c.style);
    if (!sheet.ok()) {
        io.err << kProgram << ": " << sheet.error << '\n';
        return 1;
    }
    const std::string error = WritePngFile(c.output, sheet.value.Image(), SetFileGuard(set));
    if (!error.empty()) {
        io.err << kProgram << ": cannot write '" << DisplayPath(c.output) << "': " << error << '\n';
        return 1;
    }
    return 0;
}

}  // namespace marrowix::inspect
