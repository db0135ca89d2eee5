// --stats: what each texture holds, a line or a JSON object an entry, the
// entries worked on every core and printed in the set's order.
#include <atomic>
#include <charconv>
#include <cstdio>
#include <vector>

#include "inspect/Inspect.h"
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
    std::string json =
        "{\"index\":" + std::to_string(index) + ",\"name\":" + JsonString(set.GetEntryName(index)) +
        ",\"width\":" + std::to_string(e.width) + ",\"height\":" + std::to_string(e.height);
    if (!r.ok()) {
        return json + ",\"skipped\":" + JsonString(FromUtf8(r.error)) + "}";
    }
    const TextureStats& s = r.value;
    json += ",\"texels\":" + std::to_string(s.texels) + ",\"channels\":{";
    for (int c = 0; c < 4; ++c) {
        const ChannelStats& ch = s.channels[c];
        json += std::string(c == 0 ? "" : ",") + "\"" + kJsonChannels[c] +
                "\":{\"min\":" + std::to_string(ch.min) + ",\"max\":" + std::to_string(ch.max) +
                ",\"mean\":" + Fixed(ch.mean) + ",\"stddev\":" + Fixed(ch.stddev) +
                ",\"histogram\":[";
        for (int v = 0; v < 256; ++v) {
            json += (v == 0 ? "" : ",") + std::to_string(ch.histogram[v]);
        }
        json += "]}";
    }
    json += "},\"alpha\":{\"transparent\":" + std::to_string(s.transparent) +
            ",\"opaque\":" + std::to_string(s.opaque) +
            ",\"between\":" + std::to_string(s.translucent) + "}";
    if (dxt) {
        json += ",\"blocks\":{\"count\":" + std::to_string(s.blocks) +
                ",\"alphaEightValues\":" + std::to_string(s.alphaEight) +
                ",\"alphaSixValues\":" + std::to_string(s.alphaSix) +
                ",\"colourEndPointsAscending\":" + std::to_string(s.threeColourOrder) +
                ",\"oneColour\":" + std::to_string(s.oneColour) + "}";
    } else {
        json += ",\"distinctTexels\":" + std::to_string(s.distinct);
    }
    return json + ",\"incomplete\":" + (s.incomplete ? "true" : "false") + "}";
}

}  // namespace

int PrintStats(const CTextureSet& set, const Options& o, std::ostream& out, std::ostream& err) {
    const std::size_t count = set.Entries().size();
    if (o.indexGiven && o.index >= count) {
        err << kProgram << ": " << CheckEntry(set, o.index) << '\n';
        return 1;
    }
    const std::size_t first = o.indexGiven ? o.index : 0;
    const std::size_t end = o.indexGiven ? o.index + 1 : count;
    const bool dxt = set.GetMode() == kModeDxt;
    int code = 0;
    std::vector<Result<TextureStats>> batch;
    for (std::size_t from = first; from < end; from += kBatch) {
        const std::size_t n = std::min(kBatch, end - from);
        batch.assign(n, {});
        std::atomic<std::size_t> next{0};
        RunOnEveryCore(n, [&] {
            for (std::size_t k; (k = next++) < n;) {
                batch[k] = ComputeStats(set, from + k, o.precision);
            }
        });
        for (std::size_t k = 0; k < n; ++k) {
            out << (o.json ? StatsJson(set, from + k, dxt, batch[k])
                           : StatsLine(set, from + k, dxt, batch[k]))
                << '\n';
            // Not measured for want of memory: the command fails.
            if (batch[k].error == kStatsOutOfMemory) {
                code = 1;
            }
        }
    }
    return code;
}

}  // namespace marrowix::inspect
