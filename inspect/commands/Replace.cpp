// --replace: a new set in which the entries named hold the images given,
// each texture measured as it goes in.
#include "inspect/commands/CommandSupport.h"
#include "inspect/commands/Repack.h"

namespace marrowix::inspect {

int Execute(const ReplaceCommand& c, Io& io) {
    io.doing = "write the new set";
    const RepackOptions options = OptionsFor(c.repack, WrittenMode(c.set), io);
    SourceSet source;
    if (!OpenSource(c.set, &source, io)) {
        return 1;
    }
    std::vector<Replacement> replacements;
    for (const auto& [index, path] : c.replacements) {
        Result<InputImage> image = ReadInputImage(path);
        if (!image.ok()) {
            io.err << kProgram << ": cannot replace entry " << index << ": " << image.error << '\n';
            return 1;
        }
        const std::uint32_t w = image.value.width;
        const std::uint32_t h = image.value.height;
        replacements.push_back({index, path, w, h, std::move(image.value)});
    }
    const RepackResult result =
        ReplaceTextures(source, c.repack.outputSet, std::move(replacements), options);
    const CTextureSet& set = source.InMode(c.set.mode);
    return Report(
        result, {}, "replaced ", [&](std::size_t index) { return EntryTitle(set, index); },
        c.repack.json, io);
}

}  // namespace marrowix::inspect
