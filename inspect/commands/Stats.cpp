// --stats: what each texture holds, a line or a JSON object an entry, the
// entries worked on every core and printed in the set's order.
#include <atomic>
#include <charconv>
#include <cstdio>
#include <vector>

#include "inspect/commands/CommandSupport.h"
#include "inspect/output/JsonWriter.h"
#include "platform/EveryCore.h"
#include "stats/TextureStats.h"

namespace marrowix::inspect {
namespace {

// Entries worked on at once before they are printed.
constexpr std::size_t kBatch = 256;

std::string Fixed(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", v);
    return text;
}

const char* const kChannelNames[] = {"R", "G", "B", "A"};
const char* const kJsonChannels[] = {"r", "g", "b", "a"};

std::string StatsLine(const CTextureSet& set, std::size_t index, bool dxt,
                      const Result<TextureStats>& r) {
    const TextureEntry e = set.GetEntry(index);
    std::string line = std::to_string(index) + " " + JsonString(set.GetEntryName(index)) + " " +
                       std::to_string(e.width) + " x " + std::to_string(e.height);
    if (!r.ok()) {
        return line + "  skipped: " + r.error;
    }
    const TextureStats& s = r.value;
    if (s.texels == 0) {
        return line + "  no texels";
    }
    for (int c = 0; c < 4; ++c) {
        const ChannelStats& ch = s.channels[c];
        line += std::string("  ") + kChannelNames[c] + " " + std::to_string(ch.min) + ".." +
                std::to_string(ch.max) + " mean " + Fixed(ch.mean) + " sd " + Fixed(ch.stddev);
    }
    line += "  alpha 0: " + std::to_string(s.transparent) + " 255: " + std::to_string(s.opaque) +
            " between: " + std::to_string(s.translucent);
    if (dxt) {
        line += "  blocks " + std::to_string(s.blocks) + ": alpha 8 values " +
                std::to_string(s.alphaEight) + ", 6 values " + std::to_string(s.alphaSix) +
                "; c0 <= c1 " + std::to_string(s.threeColourOrder) + "; one colour " +
                std::to_string(s.oneColour);
    } else {
        line += "  distinct texels " + std::to_string(s.distinct);
    }
    if (s.incomplete) {
        line += "  (data past the end of the data file read as 0)";
    }
    return line;
}

std::string StatsJson(const CTextureSet& set, std::size_t index, bool dxt,
                      const Result<TextureStats>& r) {
    const TextureEntry e = set.GetEntry(index);
    std::string text;
    JsonWriter json(text);
    json.Object().Key("index").Number(index).Key("name").String(set.GetEntryName(index));
    json.Key("width").Signed(e.width).Key("height").Signed(e.height);
    if (!r.ok()) {
        json.Key("skipped").Utf8(r.error).End();
        return text;
    }
    const TextureStats& s = r.value;
    json.Key("texels").Number(s.texels).Key("channels").Object();
    for (int c = 0; c < 4; ++c) {
        const ChannelStats& ch = s.channels[c];
        json.Key(kJsonChannels[c]).Object().Key("min").Number(ch.min).Key("max").Number(ch.max);
        json.Key("mean").Formatted(Fixed(ch.mean)).Key("stddev").Formatted(Fixed(ch.stddev));
        json.Key("histogram").Array();
        for (int v = 0; v < 256; ++v) {
            json.Number(ch.histogram[v]);
        }
        json.End().End();
    }
    json.End().Key("alpha").Object().Key("transparent").Number(s.transparent);
    json.Key("opaque").Number(s.opaque).Key("between").Number(s.translucent).End();
    if (dxt) {
        json.Key("blocks").Object().Key("count").Number(s.blocks);
        json.Key("alphaEightValues").Number(s.alphaEight).Key("alphaSixValues").Number(s.alphaSix);
        json.Key("colourEndPointsAscending").Number(s.threeColourOrder);
        json.Key("oneColour").Number(s.oneColour).End();
    } else {
        json.Key("distinctTexels").Number(s.distinct);
    }
    json.Key("incomplete").Bool(s.incomplete).End();
    return text;
}

}  // namespace

int Execute(const StatsCommand& c, Io& io) {
    CTextureSet set;
    bool partial = false;
    if (!OpenForCommand(set, c.set, io, &partial)) {
        return 1;
    }
    io.doing = "compute the statistics";
    std::ostream& out = io.out;
    const std::size_t count = set.Entries().size();
    if (c.index && *c.index >= count) {
        io.err << kProgram << ": " << CheckEntry(set, *c.index) << '\n';
        return WholeSetCode(1, partial, io.err);
    }
    const std::size_t first = c.index.value_or(0);
    const std::size_t end = c.index ? *c.index + 1 : count;
    const bool dxt = set.GetMode() == kModeDxt;
    int code = 0;
    std::vector<Result<TextureStats>> batch;
    for (std::size_t from = first; from < end; from += kBatch) {
        const std::size_t n = std::min(kBatch, end - from);
        batch.assign(n, {});
        std::atomic<std::size_t> next{0};
        RunOnEveryCore(n, [&] {
            for (std::size_t k; (k = next++) < n;) {
                batch[k] = ComputeStats(set, from + k, c.precision);
            }
        });
        for (std::size_t k = 0; k < n; ++k) {
            out << (c.json ? StatsJson(set, from + k, dxt, batch[k])
                           : StatsLine(set, from + k, dxt, batch[k]))
                << '\n';
            // Not measured for want of memory: the command fails.
            if (batch[k].error == kStatsOutOfMemory) {
                code = 1;
            }
        }
    }
    return WholeSetCode(code, partial, io.err);
}

}  // namespace marrowix::inspect
