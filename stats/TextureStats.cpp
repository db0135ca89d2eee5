#include "stats/TextureStats.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "platform/EveryCore.h"

namespace marrowix {
namespace {

// Texels of a row read and decoded at a time (a multiple of 4, so that
// pieces start on blocks), and rows (or rows of blocks) a job takes.
constexpr std::uint32_t kChunkTexels = 16384;
constexpr std::uint32_t kRowsPerJob = 64;
// Below this many texels one thread does it all.
constexpr std::uint64_t kTexelsPerThread = std::uint64_t{1} << 20;

struct Partial {
    TextureStats stats;
    std::vector<std::uint64_t> distinct;  // "etc": a bit for each texel value seen
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
    for (std::size_t i = 0; i < from.distinct.size(); ++i) {
        into.distinct[i] |= from.distinct[i];
    }
}

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
        m_bytes.resize(std::size_t{kChunkTexels} * 4);
        m_texels.resize(std::size_t{kChunkTexels} * 4);
        const std::uint32_t x0 = m_dxt ? m_r.x / 4 * 4 : m_r.x;
        const std::uint32_t x1 = m_r.x + m_r.width;
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
        const std::size_t got =
            m_file == nullptr ? 0 : m_file->ReadAt(m_start + at, m_bytes.data(), n);
        std::memset(m_bytes.data() + got, 0, n - got);
        stats.incomplete = stats.incomplete || got < n;
    }

    void AddTexelRow(std::uint32_t y, std::uint32_t cx, std::uint32_t cw, Partial& out) {
        Read((std::uint64_t{y} * m_width + cx) * 2, std::size_t{cw} * 2, out.stats);
        for (std::uint32_t i = 0; i < cw; ++i) {
            const auto t = static_cast<std::uint16_t>(m_bytes[2 * i] | m_bytes[2 * i + 1] << 8);
            out.distinct[t >> 6] |= std::uint64_t{1} << (t & 63);
            m_texels[i] = WidenTexel(t);
        }
        AddTexelsToStats(m_texels.data(), cw, out.stats);
    }

    void AddBlocks(std::uint32_t blockRow, std::uint32_t cx, std::uint32_t blocks, Partial& out) {
        const std::uint64_t across = (std::uint64_t{m_width} + 3) / 4;
        const std::size_t n = std::size_t{blocks} * kBlockBytes;
        Read((blockRow * across + cx / 4) * kBlockBytes, n, out.stats);
        const std::uint32_t stride = blocks * 4;
        const std::span<const std::uint8_t> data(m_bytes.data(), n);
        const std::span<std::uint32_t> texels(m_texels.data(), std::size_t{stride} * 4);
        if (m_full) {
            DecodeBlockImage(stride, 4, data, texels);
        } else {
            m_nibbles.resize(std::size_t{kChunkTexels} * 4);
            DecodeBlockImage(stride, 4, data,
                             std::span<std::uint16_t>(m_nibbles.data(), texels.size()),
                             kLayoutRgba4444);
            for (std::size_t i = 0; i < texels.size(); ++i) {
                texels[i] = WidenTexel(m_nibbles[i]);
            }
        }
        TextureStats& s = out.stats;
        for (std::uint32_t b = 0; b < blocks; ++b) {
            const std::uint8_t* block = m_bytes.data() + std::size_t{b} * kBlockBytes;
            ++s.blocks;
            ++(block[0] > block[1] ? s.alphaEight : s.alphaSix);
            const unsigned c0 = block[8] | block[9] << 8;
            const unsigned c1 = block[10] | block[11] << 8;
            s.threeColourOrder += c0 <= c1 ? 1 : 0;
            const std::uint32_t colour = texels[4 * b] & 0xFFFFFFu;
            bool one = true;
            for (std::uint32_t y = 0; y < 4 && one; ++y) {
                for (std::uint32_t x = 0; x < 4; ++x) {
                    one = one && (texels[y * stride + 4 * b + x] & 0xFFFFFFu) == colour;
                }
            }
            s.oneColour += one ? 1 : 0;
        }
        // The texels of these blocks inside the rectangle.
        const std::uint32_t from = std::max(cx, m_r.x);
        const std::uint32_t to = std::min(cx + stride, m_r.x + m_r.width);
        for (std::uint32_t y = std::max(4 * blockRow, m_r.y);
             y < std::min(4 * blockRow + 4, m_r.y + m_r.height); ++y) {
            AddTexelsToStats(texels.data() + std::size_t{y % 4} * stride + (from - cx), to - from,
                             s);
        }
    }

    InputFile* m_file;
    bool m_dxt;
    bool m_full;
    std::uint64_t m_start;
    std::uint32_t m_width;
    TexelRect m_r;
    std::vector<std::uint8_t> m_bytes;
    std::vector<std::uint32_t> m_texels;
    std::vector<std::uint16_t> m_nibbles;
};

}  // namespace

void AddTexelsToStats(const std::uint32_t* texels, std::size_t n, TextureStats& stats) {
    auto& r = stats.channels[0].histogram;
    auto& g = stats.channels[1].histogram;
    auto& b = stats.channels[2].histogram;
    auto& a = stats.channels[3].histogram;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t p = texels[i];
        ++r[(p >> 16) & 255];
        ++g[(p >> 8) & 255];
        ++b[p & 255];
        ++a[p >> 24];
    }
}

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
        Partial total;
        total.distinct.assign(etc ? 1024 : 0, 0);
        StatsReader probe(set, entry, precision, r);
        const std::uint32_t first = probe.FirstRow();
        const std::uint32_t end = probe.EndRow();
        const std::uint64_t jobs = (end - first + kRowsPerJob - 1) / kRowsPerJob;
        const std::uint64_t texels = std::uint64_t{r.width} * r.height;
        std::atomic<std::uint64_t> next{0};
        std::mutex merging;
        bool outOfMemory = false;
        RunOnEveryCore(texels < kTexelsPerThread ? 1 : jobs, [&] {
            try {
                StatsReader reader(set, entry, precision, r);
                Partial mine;
                mine.distinct.assign(total.distinct.size(), 0);
                for (std::uint64_t job; (job = next++) < jobs;) {
                    const auto from = static_cast<std::uint32_t>(first + job * kRowsPerJob);
                    reader.AddRows(from, std::min(end, from + kRowsPerJob), mine);
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
            result.error = "not enough memory for statistics";
            return result;
        }
        result.value = total.stats;
        for (const std::uint64_t word : total.distinct) {
            result.value.distinct += static_cast<std::uint64_t>(std::popcount(word));
        }
        FinishStats(result.value);
    } catch (const std::bad_alloc&) {
        result.error = "not enough memory for statistics";
    }
    return result;
}

}  // namespace marrowix
