#include "stats/TextureStats.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "platform/EveryCore.h"
#include "stats/BlockCounting.h"
#include "stats/KeyedCounts.h"

namespace marrowix {
namespace {

// Texels of a row read and decoded at a time (a multiple of 4, so that
// pieces start on blocks), and rows (or rows of blocks) a job takes.
constexpr std::uint32_t kChunkTexels = 16384;
// Blocks of whole rows read at a time: 128 KiB, few enough reads that their
// calls cost little beside the counting.
constexpr std::uint32_t kChunkBlocks = 8192;
constexpr std::uint32_t kRowsPerJob = 64;
// Below this many texels one thread does it all, and "dxt" blocks are
// added to the histograms directly (counting them by their end points pays
// for its tables only over many blocks).
constexpr std::uint64_t kTexelsPerThread = std::uint64_t{1} << 20;

// "etc" rectangles of at most this many texels keep their texels' values
// in a list, larger ones count them in a table of every value.
constexpr std::uint64_t kListedTexels = 16384;

struct Partial {
    TextureStats stats;
    // "etc": how many texels of each RGBA4444 value (a table of 65536
    // counts), or for a small rectangle the values themselves; the channels'
    // histograms and the distinct texels are made of it at the end.
    std::vector<std::uint32_t> values;
    std::vector<std::uint16_t> listed;
    // "dxt" on the vector path: whole blocks counted by their end points,
    // folded into the histograms before merging.
    std::unique_ptr<KeyedCounts> keyed;
};

void Merge(Partial& into, const Partial& from) {
    for (int c = 0; c < 4; ++c) {
        for (int v = 0; v < 256; ++v) {
            into.stats.channels[c].histogram[v] += from.stats.channels[c].histogram[v];
        }
    }
    into.stats.blocks += from.stats.blocks;
    into.stats.alphaEight += from.stats.alphaEight;
    into.stats.alphaSix += from.stats.alphaSix;
    into.stats.threeColourOrder += from.stats.threeColourOrder;
    into.stats.oneColour += from.stats.oneColour;
    into.stats.incomplete = into.stats.incomplete || from.stats.incomplete;
    for (std::size_t i = 0; i < from.values.size(); ++i) {
        into.values[i] += from.values[i];
    }
    into.listed.insert(into.listed.end(), from.listed.begin(), from.listed.end());
}

// A value of 8 bits as the precision shows it: itself, or its high nibble
// widened exactly.
constexpr std::array<std::uint8_t, 256> NibbleWidened() {
    std::array<std::uint8_t, 256> t{};
    for (unsigned v = 0; v < 256; ++v) {
        t[v] = static_cast<std::uint8_t>((v >> 4) * 17);
    }
    return t;
}
constexpr std::array<std::uint8_t, 256> kNibbleWidened = NibbleWidened();

// Reads and adds the pieces of one entry's rectangle.
class StatsReader {
public:
    StatsReader(const CTextureSet& set, const TextureEntry& entry, Precision precision,
                const TexelRect& r)
        : m_file(set.GetDataFile()),
          m_dxt(set.GetMode() == kModeDxt),
          m_full(precision == Precision::kFull),
          m_start(std::uint64_t{entry.offset} + kTextureHeaderBytes),
          m_width(static_cast<std::uint32_t>(entry.width)),
          m_r(r) {}

    // Rows of texels ("etc") or of blocks ("dxt") the rectangle covers.
    std::uint32_t FirstRow() const { return m_dxt ? m_r.y / 4 : m_r.y; }
    std::uint32_t EndRow() const {
        return m_dxt ? (m_r.y + m_r.height + 3) / 4 : m_r.y + m_r.height;
    }

    void AddRows(std::uint32_t first, std::uint32_t end, Partial& out) {
        const std::uint32_t x0 = m_dxt ? m_r.x / 4 * 4 : m_r.x;
        const std::uint32_t x1 = m_r.x + m_r.width;
        if (!m_dxt && m_r.x == 0 && m_r.width == m_width && m_width <= kChunkTexels) {
            // Whole "etc" rows lie one after another: as many a read as a
            // chunk holds.
            const std::uint32_t rows = std::max<std::uint32_t>(1, kChunkTexels / m_width);
            for (std::uint32_t row = first; row < end; row += rows) {
                const std::uint32_t n = std::min(rows, end - row);
                AddTexels(std::uint64_t{row} * m_width, n * m_width, out);
            }
            return;
        }
        const std::uint64_t across = (std::uint64_t{m_width} + 3) / 4;
        if (m_dxt && x0 == 0 && (x1 + 3) / 4 == across && across <= kChunkBlocks) {
            // Whole rows of blocks lie one after another too: a read takes
            // as many as kChunkBlocks holds, so that a tall, narrow texture
            // costs what its blocks do, not a read a row.
            const auto rows = static_cast<std::uint32_t>(kChunkBlocks / across);
            for (std::uint32_t row = first; row < end; row += rows) {
                const std::uint32_t n = std::min(rows, end - row);
                Read(row * across * kBlockBytes, static_cast<std::size_t>(n * across) * kBlockBytes,
                     out.stats);
                for (std::uint32_t k = 0; k < n; ++k) {
                    CountBlocks(m_bytes.data() + k * across * kBlockBytes, row + k, 0,
                                static_cast<std::uint32_t>(across), out);
                }
            }
            return;
        }
        for (std::uint32_t row = first; row < end; ++row) {
            for (std::uint32_t cx = x0; cx < x1; cx += kChunkTexels) {
                const std::uint32_t cw = std::min(kChunkTexels, x1 - cx);
                if (m_dxt) {
                    AddBlocks(row, cx, (cw + 3) / 4, out);
                } else {
                    AddTexelRow(row, cx, cw, out);
                }
            }
        }
    }

private:
    // n bytes from `at` bytes into the entry's data; zeros where the file
    // does not hold them.
    void Read(std::uint64_t at, std::size_t n, TextureStats& stats) {
        if (m_bytes.size() < n) {
            m_bytes.resize(n);  // what the pieces need, never more than a chunk's
        }
        const std::size_t got =
            m_file == nullptr ? 0 : m_file->ReadAt(m_start + at, m_bytes.data(), n);
        std::memset(m_bytes.data() + got, 0, n - got);
        stats.incomplete = stats.incomplete || got < n;
    }

    void AddTexelRow(std::uint32_t y, std::uint32_t cx, std::uint32_t cw, Partial& out) {
        AddTexels(std::uint64_t{y} * m_width + cx, cw, out);
    }

    // "etc": `cw` texels from texel `from` of the data, each one count in
    // the table of values (or listed).
    void AddTexels(std::uint64_t from, std::uint32_t cw, Partial& out) {
        Read(from * 2, std::size_t{cw} * 2, out.stats);
        if (out.values.empty()) {
            for (std::uint32_t i = 0; i < cw; ++i) {
                out.listed.push_back(
                    static_cast<std::uint16_t>(m_bytes[2 * i] | m_bytes[2 * i + 1] << 8));
            }
            return;
        }
        std::uint32_t* values = out.values.data();
        for (std::uint32_t i = 0; i < cw; ++i) {
            ++values[m_bytes[2 * i] | m_bytes[2 * i + 1] << 8];
        }
    }

    // "dxt": each block's palettes made by the decoder's arithmetic; a block
    // wholly inside the rectangle adds each palette entry once, with the
    // number of its texels that index it, and one cut by the rectangle's
    // edge adds its texels inside one by one.
    void AddBlocks(std::uint32_t blockRow, std::uint32_t cx, std::uint32_t blocks, Partial& out) {
        const std::uint64_t across = (std::uint64_t{m_width} + 3) / 4;
        Read((blockRow * across + cx / 4) * kBlockBytes, std::size_t{blocks} * kBlockBytes,
             out.stats);
        CountBlocks(m_bytes.data(), blockRow, cx, blocks, out);
    }

    void CountBlocks(const std::uint8_t* bytes, std::uint32_t blockRow, std::uint32_t cx,
                     std::uint32_t blocks, Partial& out) {
        CountDxtBlocks(bytes, blockRow, cx, blocks, m_r, m_full, out.stats, out.keyed.get());
    }

    InputFile* m_file;
    bool m_dxt;
    bool m_full;
    std::uint64_t m_start;
    std::uint32_t m_width;
    TexelRect m_r;
    std::vector<std::uint8_t> m_bytes;
};

// The range, mean, deviation and alpha coverage from the histograms.
void FinishStats(TextureStats& stats) {
    stats.texels = 0;
    for (const std::uint64_t count : stats.channels[0].histogram) {
        stats.texels += count;
    }
    for (ChannelStats& c : stats.channels) {
        c = ChannelStats{c.histogram};
        if (stats.texels == 0) {
            continue;
        }
        std::uint64_t sum = 0;
        bool seen = false;
        for (int v = 0; v < 256; ++v) {
            if (c.histogram[v] != 0) {
                c.min = seen ? c.min : static_cast<std::uint8_t>(v);
                c.max = static_cast<std::uint8_t>(v);
                seen = true;
                sum += c.histogram[v] * static_cast<std::uint64_t>(v);
            }
        }
        c.mean = static_cast<double>(sum) / static_cast<double>(stats.texels);
        double squares = 0;
        for (int v = c.min; v <= c.max; ++v) {
            const double d = v - c.mean;
            squares += static_cast<double>(c.histogram[v]) * d * d;
        }
        c.stddev = std::sqrt(squares / static_cast<double>(stats.texels));
    }
    const auto& alpha = stats.channels[3].histogram;
    stats.transparent = alpha[0];
    stats.opaque = alpha[255];
    stats.translucent = stats.texels - alpha[0] - alpha[255];
}

}  // namespace

Result<TextureStats> ComputeStats(const CTextureSet& set, std::size_t index, Precision precision,
                                  const TexelRect* region) {
    Result<TextureStats> result;
    result.error = CheckEntry(set, index);
    if (!result.ok()) {
        return result;
    }
    const TextureEntry entry = set.GetEntry(index);
    const auto width = static_cast<std::uint32_t>(entry.width);
    const auto height = static_cast<std::uint32_t>(entry.height);
    TexelRect r{0, 0, width, height};
    if (region != nullptr) {
        r.x = std::min(region->x, width);
        r.y = std::min(region->y, height);
        r.width = std::min(region->width, width - r.x);
        r.height = std::min(region->height, height - r.y);
    }
    if (r.width == 0 || r.height == 0) {
        FinishStats(result.value);
        return result;
    }
    try {
        const bool etc = set.GetMode() != kModeDxt;
        const bool table = etc && std::uint64_t{r.width} * r.height > kListedTexels;
        Partial total;
        total.values.assign(table ? 65536 : 0, 0);
        StatsReader probe(set, entry, precision, r);
        const std::uint32_t first = probe.FirstRow();
        const std::uint32_t end = probe.EndRow();
        const std::uint64_t jobs = (end - first + kRowsPerJob - 1) / kRowsPerJob;
        const std::uint64_t texels = std::uint64_t{r.width} * r.height;
        const bool keyed =
            !etc && texels >= kTexelsPerThread && ActiveStatsPath() != StatsPath::kScalar;
        std::atomic<std::uint64_t> next{0};
        std::mutex merging;
        bool outOfMemory = false;
        RunOnEveryCore(texels < kTexelsPerThread ? 1 : jobs, [&] {
            try {
                StatsReader reader(set, entry, precision, r);
                Partial mine;
                mine.values.assign(total.values.size(), 0);
                if (keyed) {
                    mine.keyed = std::make_unique<KeyedCounts>();
                }
                for (std::uint64_t job; (job = next++) < jobs;) {
                    const auto from = static_cast<std::uint32_t>(first + job * kRowsPerJob);
                    reader.AddRows(from, std::min(end, from + kRowsPerJob), mine);
                }
                if (mine.keyed != nullptr) {
                    FoldKeyedCounts(*mine.keyed, mine.stats);
                }
                const std::lock_guard lock(merging);
                Merge(total, mine);
            } catch (const std::bad_alloc&) {
                const std::lock_guard lock(merging);
                outOfMemory = true;
                next = jobs;
            }
        });
        if (outOfMemory) {
            result.error = kStatsOutOfMemory;
            return result;
        }
        result.value = total.stats;
        if (!etc && precision == Precision::kNibbles) {
            // The 8-bit histograms as the nibbles show them: v as (v >> 4) x 17.
            for (ChannelStats& c : result.value.channels) {
                std::array<std::uint64_t, 256> folded{};
                for (int v = 0; v < 256; ++v) {
                    folded[kNibbleWidened[static_cast<std::size_t>(v)]] += c.histogram[v];
                }
                c.histogram = folded;
            }
        }
        auto addValue = [&](std::uint16_t t, std::uint64_t n) {
            const std::uint32_t p = WidenTexel(t);
            ++result.value.distinct;
            result.value.channels[0].histogram[(p >> 16) & 255] += n;
            result.value.channels[1].histogram[(p >> 8) & 255] += n;
            result.value.channels[2].histogram[p & 255] += n;
            result.value.channels[3].histogram[p >> 24] += n;
        };
        for (std::uint32_t t = 0; t < total.values.size(); ++t) {
            if (total.values[t] != 0) {
                addValue(static_cast<std::uint16_t>(t), total.values[t]);
            }
        }
        std::sort(total.listed.begin(), total.listed.end());
        for (std::size_t i = 0; i < total.listed.size();) {
            std::size_t j = i;
            while (j < total.listed.size() && total.listed[j] == total.listed[i]) {
                ++j;
            }
            addValue(total.listed[i], j - i);
            i = j;
        }
        FinishStats(result.value);
    } catch (const std::bad_alloc&) {
        result.error = kStatsOutOfMemory;
    }
    return result;
}

}  // namespace marrowix
