// --texel: where one texel of an entry comes from, as one JSON object.
#include "inspect/commands/CommandSupport.h"
#include "inspect/output/JsonWriter.h"
#include "textureset/TexelAccess.h"
#include "textureset/TextureSet.h"

namespace marrowix::inspect {
namespace {

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

}  // namespace

int Execute(const TexelCommand& c, Io& io) {
    CTextureSet set;
    bool partial = false;
    if (!OpenForCommand(set, c.set, io, &partial)) {
        return 1;
    }
    io.doing = "locate the texel";
    const Result<TexelLocation> found = LocateTexel(set, c.index, c.x, c.y);
    if (!found.ok()) {
        io.err << kProgram << ": "
               << (c.index < set.GetEntryCount() ? EntryTitle(set, c.index)
                                                 : "entry " + std::to_string(c.index))
               << ": " << found.error << '\n';
        return 1;
    }
    const TexelLocation& t = found.value;
    std::string text;
    JsonWriter json(text);
    json.Object().Key("index").Number(c.index).Key("x").Number(c.x).Key("y").Number(c.y);
    json.Key("texel").Number(t.texel).Key("rgba8").Array();
    json.Number((t.full >> 16) & 255).Number((t.full >> 8) & 255).Number(t.full & 255);
    json.Number(t.full >> 24).End();
    json.Key("source").Object().Key("offset").Number(t.offset).Key("size").Number(t.size);
    json.Key("bytes").Word(Hex(t.bytes)).End();
    if (t.hasBlock) {
        json.Key("block").Object();
        json.Key("column").Number(t.blockColumn).Key("row").Number(t.blockRow);
        json.Key("alpha0").Number(t.alpha0).Key("alpha1").Number(t.alpha1);
        json.Key("colour0").Number(t.colour0).Key("colour1").Number(t.colour1);
        json.Key("colourIndex").Number(t.colourIndex).Key("alphaIndex").Number(t.alphaIndex);
        json.End();
    }
    json.End();
    io.out << text << '\n';
    return 0;
}

}  // namespace marrowix::inspect
