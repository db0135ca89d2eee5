#include "thumbnails/Thumbnail.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace marrowix {
namespace {

// Texels of a row read and decoded at a time: buffers stay small whatever
// the texture's width. A multiple of 4, so that chunks start on blocks.
constexpr std::uint32_t kChunkTexels = 16384;
// Columns a thumbnail column covers beyond which it samples them, and how
// many it samples then (a multiple of 4).
constexpr std::uint32_t kWideColumnTexels = kChunkTexels;
constexpr std::uint32_t kSampledColumns = 8;

struct Sum {
    std::uint64_t b = 0;
    std::uint64_t g = 0;
    std::uint64_t r = 0;
    std::uint64_t a = 0;
    std::uint64_t n = 0;

    std::uint32_t Average() const {
        auto mean = [&](std::uint64_t v) { return static_cast<std::uint32_t>((v + n / 2) / n); };
        return n == 0 ? 0 : mean(a) << 24 | mean(r) << 16 | mean(g) << 8 | mean(b);
    }
};

// The first of `size` texel rows (or columns) that thumbnail row t of
// `count` covers: texel y belongs to thumbnail row y x count / size.
std::uint32_t Start(std::uint32_t t, std::uint32_t count, std::uint32_t size) {
    return static_cast<std::uint32_t>((std::uint64_t{t} * size + count - 1) / count);
}

// `count` of the n items from `first`, spread evenly; all of them when
// there are no more than `count`.
template <class Visit>
void Spread(std::uint32_t first, std::uint32_t n, std::uint32_t count, Visit visit) {
    if (n <= count) {
        for (std::uint32_t i = 0; i < n; ++i) {
            visit(first + i);
        }
        return;
    }
    for (std::uint32_t k = 0; k < count; ++k) {
        visit(first + static_cast<std::uint32_t>((std::uint64_t{2 * k + 1} * n) / (2 * count)));
    }
}

// Folds bytes into a digest, eight at a time.
std::uint64_t Fold(std::uint64_t h, std::uint64_t v) {
    h = (h ^ v) * 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 29);
}

std::uint64_t FoldBytes(std::uint64_t h, const std::uint8_t* p, std::size_t n) {
    std::size_t i = 0;
    if (n >= 32) {
        // Four digests side by side, folded into one: a fold waits on the
        // one before it, four do not wait on each other.
        std::uint64_t lanes[4] = {h, h + 1, h + 2, h + 3};
        for (; i + 32 <= n; i += 32) {
            for (int k = 0; k < 4; ++k) {
                std::uint64_t v = 0;
                std::memcpy(&v, p + i + 8 * k, 8);
                lanes[k] = Fold(lanes[k], v);
            }
        }
        h = Fold(Fold(Fold(Fold(h, lanes[0]), lanes[1]), lanes[2]), lanes[3]);
    }
    for (; i + 8 <= n; i += 8) {
        std::uint64_t v = 0;
        std::memcpy(&v, p + i, 8);
        h = Fold(h, v);
    }
    std::uint64_t tail = n - i;  // the count of the last bytes, then them
    for (std::size_t k = 0; i + k < n; ++k) {
        tail |= std::uint64_t{p[i + k]} << (8 * (k + 1));
    }
    return Fold(h, tail);
}

class ThumbnailMaker {
public:
    // With `digestOnly`, only the reads are made, and only the digest kept.
    ThumbnailMaker(const CTextureSet& set, const TextureEntry& entry, Precision precision,
                   Thumbnail& out, bool digestOnly = false)
        : m_digestOnly(digestOnly),
          m_file(set.GetDataFile()),
          m_dxt(set.GetMode() == kModeDxt),
          m_full(precision == Precision::kFull),
          m_offset(entry.offset),
          m_width(static_cast<std::uint32_t>(entry.width)),
          m_height(static_cast<std::uint32_t>(entry.height)),
          m_out(out),
          m_sums(out.width),
          m_bytes(std::size_t{kChunkTexels} * (m_dxt ? 4 : 2)),
          m_texels(std::size_t{kChunkTexels} * 4) {}

    void Make() {
        m_out.digest = Fold(Fold(Fold(0, m_width), m_height), (m_dxt ? 2 : 0) | (m_full ? 1 : 0));
        for (std::uint32_t ty = 0; ty < m_out.height; ++ty) {
            const std::uint32_t y0 = Start(ty, m_out.height, m_height);
            const std::uint32_t y1 = Start(ty + 1, m_out.height, m_height);
            if (!m_dxt) {
                Spread(y0, y1 - y0, kSampledRows, [&](std::uint32_t y) { AddRows(y, y, y + 1); });
            } else {
                const std::uint32_t b0 = y0 / 4;
                const std::uint32_t b1 = (y1 - 1) / 4 + 1;
                const std::uint32_t blockRows =
                    y1 - y0 <= kSampledRows ? b1 - b0 : kSampledRows / 4;
                Spread(b0, b1 - b0, blockRows, [&](std::uint32_t b) {
                    AddRows(b, std::max(y0, 4 * b), std::min(y1, 4 * b + 4));
                });
            }
            if (m_digestOnly) {
                continue;
            }
            std::uint32_t* row = m_out.pixels.data() + std::size_t{ty} * m_out.width;
            for (std::uint32_t tx = 0; tx < m_out.width; ++tx) {
                row[tx] = m_sums[tx].Average();
                m_sums[tx] = Sum{};
            }
        }
    }

private:
    // Reads n bytes from `at` bytes after the entry's header; zeros where
    // the file ends or is absent.
    void Read(std::uint64_t at, std::size_t n) {
        const std::size_t got =
            m_file == nullptr
                ? 0
                : m_file->ReadAt(m_offset + kTextureHeaderBytes + at, m_bytes.data(), n);
        std::memset(m_bytes.data() + got, 0, n - got);
        m_out.bytesRead += got;
        m_out.digest = FoldBytes(Fold(Fold(m_out.digest, at), got), m_bytes.data(), got);
    }

    // Adds texel rows first to last - 1 to the column sums: for "etc" the
    // one row `source`, for "dxt" rows of block row `source`. Where a
    // thumbnail column covers more than kWideColumnTexels columns, only
    // kSampledColumns / 4 groups of 4 columns (a block), spread evenly, are
    // read of each: a very wide texture costs a few reads a pixel, not its
    // whole rows.
    void AddRows(std::uint32_t source, std::uint32_t first, std::uint32_t last) {
        if (std::uint64_t{m_width} > std::uint64_t{m_out.width} * kWideColumnTexels) {
            for (std::uint32_t tx = 0; tx < m_out.width; ++tx) {
                const std::uint32_t g0 = Start(tx, m_out.width, m_width) / 4;
                const std::uint32_t g1 = (Start(tx + 1, m_out.width, m_width) - 1) / 4 + 1;
                Spread(g0, g1 - g0, kSampledColumns / 4, [&](std::uint32_t g) {
                    AddStretch(source, first, last, 4 * g, std::min(4u, m_width - 4 * g));
                });
            }
            return;
        }
        for (std::uint32_t cx = 0; cx < m_width; cx += kChunkTexels) {
            AddStretch(source, first, last, cx, std::min(kChunkTexels, m_width - cx));
        }
    }

    // Adds texels cx to cx + cw - 1 (cx a multiple of 4, cw at most
    // kChunkTexels) of rows first to last - 1 to the column sums.
    void AddStretch(std::uint32_t source, std::uint32_t first, std::uint32_t last, std::uint32_t cx,
                    std::uint32_t cw) {
        {
            std::uint32_t stride = cw;
            if (!m_dxt) {
                Read((std::uint64_t{source} * m_width + cx) * 2, std::size_t{cw} * 2);
                if (m_digestOnly) {
                    return;
                }
                for (std::uint32_t i = 0; i < cw; ++i) {
                    const auto t =
                        static_cast<std::uint16_t>(m_bytes[2 * i] | m_bytes[2 * i + 1] << 8);
                    m_texels[i] = m_full ? WidenTexel(t) : PreviewPixelOf(t);
                }
            } else if (stride = (cw + 3) / 4 * 4; cw == m_width && source == m_decodedRow) {
                // The row of blocks the thumbnail row before ended in, still
                // decoded: a thumbnail row of fewer than 4 texel rows.
            } else {
                const std::uint32_t blocks = stride / 4;
                const std::uint64_t blocksAcross = (std::uint64_t{m_width} + 3) / 4;
                Read((source * blocksAcross + cx / 4) * kBlockBytes,
                     std::size_t{blocks} * kBlockBytes);
                const std::span<const std::uint8_t> data(m_bytes.data(),
                                                         std::size_t{blocks} * kBlockBytes);
                if (m_digestOnly) {
                    m_decodedRow = cw == m_width ? source : kNoRow;
                    return;
                }
                if (m_full) {
                    DecodeBlockImage(stride, 4, data,
                                     std::span<std::uint32_t>(m_texels.data(), stride * 4));
                } else {
                    std::uint16_t* nibbles = m_nibbles.data();
                    DecodeBlockImage(stride, 4, data, std::span<std::uint16_t>(nibbles, stride * 4),
                                     kLayoutRgba4444);
                    for (std::size_t i = 0; i < std::size_t{stride} * 4; ++i) {
                        m_texels[i] = PreviewPixelOf(nibbles[i]);
                    }
                }
                // Kept for the next thumbnail row when the row is one chunk.
                m_decodedRow = cw == m_width ? source : kNoRow;
            }
            // The rows' texels summed down first, blue and red in one word
            // and green and alpha in another (16 bits a channel: at most 4
            // rows of 255), then across into the thumbnail's columns.
            const std::uint32_t rows = last - first;
            if (rows == 0) {
                return;
            }
            const std::uint32_t* texels =
                m_texels.data() + std::size_t{m_dxt ? first % 4 : 0} * stride;
            std::uint32_t* blueRed = m_blueRed.data();
            std::uint32_t* greenAlpha = m_greenAlpha.data();
            for (std::uint32_t i = 0; i < cw; ++i) {
                blueRed[i] = texels[i] & 0x00FF00FFu;
                greenAlpha[i] = (texels[i] >> 8) & 0x00FF00FFu;
            }
            for (std::uint32_t y = 1; y < rows; ++y) {
                const std::uint32_t* row = texels + std::size_t{y} * stride;
                for (std::uint32_t i = 0; i < cw; ++i) {
                    blueRed[i] += row[i] & 0x00FF00FFu;
                    greenAlpha[i] += (row[i] >> 8) & 0x00FF00FFu;
                }
            }
            AddColumns(cx, cw, rows);
        }
    }

    // Adds the summed-down texels cx to cx + cw - 1 (m_blueRed,
    // m_greenAlpha) of `rows` rows to the sums of their columns: column by
    // column, in runs short enough that 16 bits a channel hold their sums.
    void AddColumns(std::uint32_t cx, std::uint32_t cw, std::uint32_t rows) {
        const std::uint32_t end = cx + cw;
        const std::uint32_t run = 65535 / (255 * std::max(rows, 1u));
        for (auto tx = static_cast<std::uint32_t>(std::uint64_t{cx} * m_out.width / m_width);
             tx < m_out.width; ++tx) {
            const std::uint32_t from = std::max(cx, Start(tx, m_out.width, m_width));
            const std::uint32_t to = std::min(end, Start(tx + 1, m_out.width, m_width));
            if (from >= end) {
                break;
            }
            Sum& sum = m_sums[tx];
            for (std::uint32_t x = from; x < to; x += run) {
                std::uint32_t blueRed = 0;
                std::uint32_t greenAlpha = 0;
                for (std::uint32_t i = x - cx, stop = std::min(to, x + run) - cx; i < stop; ++i) {
                    blueRed += m_blueRed[i];
                    greenAlpha += m_greenAlpha[i];
                }
                sum.b += blueRed & 0xFFFF;
                sum.r += blueRed >> 16;
                sum.g += greenAlpha & 0xFFFF;
                sum.a += greenAlpha >> 16;
            }
            sum.n += std::uint64_t{to - from} * rows;
        }
    }

    bool m_digestOnly;
    InputFile* m_file;
    bool m_dxt;
    bool m_full;
    std::uint64_t m_offset;
    std::uint32_t m_width;
    std::uint32_t m_height;
    Thumbnail& m_out;
    std::vector<Sum> m_sums;  // of each thumbnail column, for the row being made
    std::vector<std::uint8_t> m_bytes;
    std::vector<std::uint32_t> m_texels;
    // A stretch's texels summed down its rows, two channels a word.
    std::vector<std::uint32_t> m_blueRed = std::vector<std::uint32_t>(kChunkTexels);
    std::vector<std::uint32_t> m_greenAlpha = std::vector<std::uint32_t>(kChunkTexels);
    static constexpr std::uint32_t kNoRow = 0xFFFFFFFFu;
    std::uint32_t m_decodedRow = kNoRow;  // the row of blocks m_texels holds, if whole
    std::vector<std::uint16_t> m_nibbles =
        std::vector<std::uint16_t>(std::size_t{kChunkTexels} * 4);
};

}  // namespace

ThumbnailSize FitThumbnail(std::uint32_t width, std::uint32_t height, std::uint32_t side) {
    side = std::max(side, 1u);
    if (width == 0 || height == 0) {
        return {};
    }
    if (width <= side && height <= side) {
        return {width, height};
    }
    if (width >= height) {
        return {side, std::max<std::uint32_t>(
                          1, static_cast<std::uint32_t>((std::uint64_t{height} * side + width / 2) /
                                                        width))};
    }
    return {std::max<std::uint32_t>(
                1, static_cast<std::uint32_t>((std::uint64_t{width} * side + height / 2) / height)),
            side};
}

namespace {

Result<Thumbnail> Made(const CTextureSet& set, std::size_t index, std::uint32_t side,
                       Precision precision, bool digestOnly) {
    Result<Thumbnail> result;
    result.error = CheckEntry(set, index);
    if (!result.ok()) {
        return result;
    }
    const TextureEntry entry = set.GetEntry(index);
    if (entry.width == 0 || entry.height == 0) {
        result.error = "size " + std::to_string(entry.width) + " x " +
                       std::to_string(entry.height) + " has no texels";
        return result;
    }
    try {
        const ThumbnailSize size = FitThumbnail(static_cast<std::uint32_t>(entry.width),
                                                static_cast<std::uint32_t>(entry.height), side);
        result.value.width = size.width;
        result.value.height = size.height;
        if (!digestOnly) {
            result.value.pixels.resize(std::size_t{size.width} * size.height);
        }
        ThumbnailMaker(set, entry, precision, result.value, digestOnly).Make();
    } catch (const std::bad_alloc&) {
        result.value = Thumbnail{};
        result.outOfMemory = true;
        result.error = "not enough memory for a thumbnail";
    }
    return result;
}

}  // namespace

Result<Thumbnail> MakeThumbnail(const CTextureSet& set, std::size_t index, std::uint32_t side,
                                Precision precision) {
    return Made(set, index, side, precision, false);
}

Result<std::uint64_t> ThumbnailDigest(const CTextureSet& set, std::size_t index, std::uint32_t side,
                                      Precision precision) {
    Result<Thumbnail> made = Made(set, index, side, precision, true);
    Result<std::uint64_t> result;
    result.error = std::move(made.error);
    result.outOfMemory = made.outOfMemory;
    result.value = made.value.digest;
    return result;
}

}  // namespace marrowix
