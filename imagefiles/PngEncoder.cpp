#include "imagefiles/PngEncoder.h"

#include "imagefiles/DeflateJoin.h"
#include "imagefiles/LiteralDeflate.h"
#include "platform/EveryCore.h"

#include <libdeflate.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <new>
#include <span>
#include <system_error>
#include <thread>
#include <vector>

namespace marrowix {
namespace {

// The Up filter on every row, and each part deflated by libdeflate's level
// 4 or coded as literals alone, whichever its sample says: on smooth
// textures long repeats make deflate worth its time; on photographic ones
// literals alone come within a few per cent of it, four to five times
// faster. Either gives about the size of libpng's defaults (level 6, every
// filter tried on every row), at ten times their speed or more.
constexpr int kLevel = 4;
// A part is coded as literals when they take at most this much more than
// libdeflate's fastest level on a sample of this many bytes.
constexpr std::size_t kSampleBytes = std::size_t{64} << 10;
constexpr double kLiteralsMayExceed = 1.08;
constexpr std::uint8_t kUp = 2;
// Filtered bytes of one part at most: parts small enough to spread over the
// cores evenly and to bound what each worker holds, large enough that
// starting each with an empty window costs nothing measurable. A part holds
// whole rows where a row fits in it; a longer row is cut between parts.
constexpr std::size_t kPartBytes = std::size_t{4} << 20;
// Pixels asked of a source at a time, at most.
constexpr std::uint32_t kPiecePixels = 1 << 16;
// Bytes of one IDAT chunk at most.
constexpr std::size_t kChunkBytes = std::size_t{1} << 30;

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}

// Bytes of a row filtered against those above them (zeros for the first
// row): each byte less the one above it.
void FilterUp(const std::uint8_t* row, const std::uint8_t* above, std::size_t bytes,
              std::uint8_t* out) {
    for (std::size_t i = 0; i < bytes; ++i) {
        out[i] = static_cast<std::uint8_t>(row[i] - above[i]);
    }
}

// The Adler-32 of two pieces one after the other, from the checksums of
// each and the length of the second.
std::uint32_t CombineAdler32(std::uint32_t first, std::uint32_t second, std::size_t secondLength) {
    constexpr std::uint64_t kBase = 65521;
    const std::uint64_t remainder = secondLength % kBase;
    const std::uint64_t a1 = first & 0xFFFF;
    const std::uint64_t b1 = first >> 16;
    const std::uint64_t a2 = second & 0xFFFF;
    const std::uint64_t b2 = second >> 16;
    // a = a1 + a2 - 1, b = b1 + b2 + remainder * (a1 - 1), all modulo kBase.
    const std::uint64_t a = (a1 + a2 + kBase - 1) % kBase;
    const std::uint64_t b = (b1 + b2 + remainder * a1 + kBase - remainder) % kBase;
    return static_cast<std::uint32_t>(b << 16 | a);
}

// One part of the image: pixels first to last - 1, counted row after row,
// with the filter byte of each row that starts in it, filtered and deflated
// into a raw deflate stream that ends at a byte boundary (a flush point), or
// for the last part at the stream's end.
struct Part {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::vector<std::uint8_t> deflated;
    std::uint32_t adler = 1;
    std::size_t length = 0;  // filtered bytes
};

// What one worker keeps from part to part.
class Worker {
public:
    Worker(std::uint32_t width, const PngSourceMaker& makeSource)
        : m_width(width), m_makeSource(makeSource) {}
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;
    ~Worker() {
        libdeflate_free_compressor(m_compressor);
        libdeflate_free_compressor(m_sampler);
    }

    // Empty on success, otherwise the reason.
    std::string Compress(Part& part, bool final) {
        try {
            if (m_compressor == nullptr &&
                (m_compressor = libdeflate_alloc_compressor(kLevel)) == nullptr) {
                return "not enough memory to compress the PNG";
            }
            if (!m_source) {
                m_source = m_makeSource();
            }
            Filter(part);
            part.adler = libdeflate_adler32(1, m_filtered.data(), part.length);
            const std::span<const std::uint8_t> filtered(m_filtered.data(), part.length);
            if (LiteralsWillDo(filtered)) {
                part.deflated.clear();
                DeflateLiterals(filtered, final, part.deflated);
            } else {
                part.deflated.resize(libdeflate_deflate_compress_bound(m_compressor, part.length));
                part.deflated.resize(libdeflate_deflate_compress(m_compressor, m_filtered.data(),
                                                                 part.length, part.deflated.data(),
                                                                 part.deflated.size()));
                if (part.deflated.empty() || (!final && !EndWithoutFinal(part.deflated))) {
                    return "cannot compress the PNG";
                }
            }
            part.deflated.shrink_to_fit();
            return {};
        } catch (const std::bad_alloc&) {
            return "not enough memory to compress the PNG";
        }
    }

private:
    // Whether literals alone compress the part nearly as well as deflate:
    // tried on a sample from its middle, against libdeflate's fastest level.
    bool LiteralsWillDo(std::span<const std::uint8_t> filtered) {
        const std::size_t n = std::min(kSampleBytes, filtered.size());
        if (n < kSampleBytes / 4) {
            return false;  // too little to tell, and quick either way
        }
        if (m_sampler == nullptr && (m_sampler = libdeflate_alloc_compressor(1)) == nullptr) {
            throw std::bad_alloc();
        }
        const std::span<const std::uint8_t> sample = filtered.subspan((filtered.size() - n) / 2, n);
        m_sample.resize(libdeflate_deflate_compress_bound(m_sampler, n));
        const std::size_t deflated = libdeflate_deflate_compress(m_sampler, sample.data(), n,
                                                                 m_sample.data(), m_sample.size());
        return deflated != 0 &&
               double(LiteralDeflateBytes(sample)) <= kLiteralsMayExceed * double(deflated);
    }

    // The part's filtered bytes into m_filtered, a piece of a row at a time;
    // the pixels above a piece are kept from the piece before where they are
    // the same columns of the row above, and asked of the source otherwise.
    void Filter(Part& part) {
        std::size_t rowStarts = 0;
        for (std::uint64_t p = part.first; p < part.last;) {
            rowStarts += p % m_width == 0 ? 1 : 0;
            p += m_width - p % m_width;
        }
        part.length = static_cast<std::size_t>(part.last - part.first) * 4 + rowStarts;
        m_filtered.resize(part.length);
        std::uint8_t* out = m_filtered.data();
        bool haveAbove = false;  // m_above holds row m_aboveY's pixels m_aboveX...
        for (std::uint64_t p = part.first; p < part.last;) {
            const auto y = static_cast<std::uint32_t>(p / m_width);
            const auto x = static_cast<std::uint32_t>(p % m_width);
            const auto n = static_cast<std::uint32_t>(
                std::min<std::uint64_t>({m_width - x, part.last - p, kPiecePixels}));
            const std::size_t bytes = std::size_t{n} * 4;
            m_row.resize(std::max<std::size_t>(m_row.size(), bytes));
            m_above.resize(std::max<std::size_t>(m_above.size(), bytes));
            if (x == 0) {
                *out++ = kUp;
            }
            m_source(y, x, n, m_row.data());
            if (y == 0) {
                std::fill_n(m_above.begin(), bytes, std::uint8_t{0});
            } else if (!haveAbove || m_aboveY != y - 1 || m_aboveX != x || m_aboveCount != n) {
                m_source(y - 1, x, n, m_above.data());
            }
            FilterUp(m_row.data(), m_above.data(), bytes, out);
            out += bytes;
            std::swap(m_row, m_above);
            haveAbove = true;
            m_aboveY = y;
            m_aboveX = x;
            m_aboveCount = n;
            p += n;
        }
    }

    std::uint32_t m_width;
    const PngSourceMaker& m_makeSource;
    PngPixelSource m_source;
    libdeflate_compressor* m_compressor = nullptr;
    libdeflate_compressor* m_sampler = nullptr;  // the fastest level, for samples
    std::vector<std::uint8_t> m_sample;
    std::vector<std::uint8_t> m_above;
    std::vector<std::uint8_t> m_row;
    std::vector<std::uint8_t> m_filtered;
    std::uint32_t m_aboveY = 0;
    std::uint32_t m_aboveX = 0;
    std::uint32_t m_aboveCount = 0;
};

// Compresses every part on up to one thread a core; empty on success,
// otherwise the first reason a part failed.
std::string CompressParts(std::vector<Part>& parts, std::uint32_t width,
                          const PngSourceMaker& makeSource) {
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::string error;
    auto work = [&] {
        Worker worker(width, makeSource);
        for (std::size_t p; (p = next++) < parts.size();) {
            std::string failed = worker.Compress(parts[p], p + 1 == parts.size());
            if (!failed.empty()) {
                const std::lock_guard lock(mutex);
                if (error.empty()) {
                    error = std::move(failed);
                }
                next = parts.size();
            }
        }
    };
    RunOnEveryCore(parts.size(), work);
    return error;
}

class ChunkWriter {
public:
    explicit ChunkWriter(std::FILE* file) : m_file(file) {}

    bool Write(const void* data, std::size_t n) {
        errno = 0;
        if (std::fwrite(data, 1, n, m_file) != n) {
            m_error = errno != 0 ? errno : EIO;
            return false;
        }
        return true;
    }

    // A chunk of type `type` whose data is the `count` pieces given.
    bool Chunk(const char* type, std::initializer_list<std::pair<const void*, std::size_t>> data) {
        std::size_t length = 0;
        std::uint32_t crc = libdeflate_crc32(0, type, 4);
        for (const auto& [p, n] : data) {
            length += n;
            crc = libdeflate_crc32(crc, p, n);
        }
        std::vector<std::uint8_t> head;
        PutBe32(head, static_cast<std::uint32_t>(length));
        head.insert(head.end(), type, type + 4);
        std::vector<std::uint8_t> tail;
        PutBe32(tail, crc);
        if (!Write(head.data(), head.size())) {
            return false;
        }
        for (const auto& [p, n] : data) {
            if (!Write(p, n)) {
                return false;
            }
        }
        return Write(tail.data(), tail.size());
    }

    std::string Error() const { return std::generic_category().message(m_error); }

private:
    std::FILE* m_file;
    int m_error = 0;
};

}  // namespace

std::string EncodePng(std::FILE* file, std::uint32_t width, std::uint32_t height,
                      const PngSourceMaker& makeSource) {
    if (width == 0 || height == 0 || width > 0x7FFFFFFFu || height > 0x7FFFFFFFu) {
        return "a PNG cannot hold an image of " + std::to_string(width) + " x " +
               std::to_string(height) + " pixels";
    }
    std::vector<Part> parts;
    try {
        const std::uint64_t rowBytes = std::uint64_t{width} * 4 + 1;
        const std::uint64_t pixels = std::uint64_t{width} * height;
        const std::uint64_t partPixels =
            rowBytes <= kPartBytes ? std::min<std::uint64_t>(kPartBytes / rowBytes, height) * width
                                   : kPartBytes / 4;
        parts.resize(static_cast<std::size_t>((pixels + partPixels - 1) / partPixels));
        for (std::size_t p = 0; p < parts.size(); ++p) {
            parts[p].first = p * partPixels;
            parts[p].last = std::min(pixels, (p + 1) * partPixels);
        }
    } catch (const std::bad_alloc&) {
        return "not enough memory to compress the PNG";
    }
    if (std::string error = CompressParts(parts, width, makeSource); !error.empty()) {
        return error;
    }

    // The one zlib stream: its header, the parts one after another, and the
    // checksum of all the filtered bytes.
    std::uint32_t adler = parts[0].adler;
    for (std::size_t p = 1; p < parts.size(); ++p) {
        adler = CombineAdler32(adler, parts[p].adler, parts[p].length);
    }
    const std::uint8_t zlibHeader[2] = {0x78, 0x5E};  // deflate, 32 KiB window, a fast level
    std::vector<std::uint8_t> trailer;
    PutBe32(trailer, adler);

    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    PutBe32(header, width);
    PutBe32(header, height);
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no interlace
    ChunkWriter out(file);
    bool ok = out.Write(kSignature, sizeof kSignature) &&
              out.Chunk("IHDR", {{header.data(), header.size()}}) &&
              out.Chunk("IDAT", {{zlibHeader, sizeof zlibHeader}});
    for (std::size_t p = 0; ok && p < parts.size(); ++p) {
        const std::vector<std::uint8_t>& d = parts[p].deflated;
        for (std::size_t at = 0; ok && at < d.size(); at += kChunkBytes) {
            ok = out.Chunk("IDAT", {{d.data() + at, std::min(kChunkBytes, d.size() - at)}});
        }
    }
    ok = ok && out.Chunk("IDAT", {{trailer.data(), trailer.size()}}) && out.Chunk("IEND", {});
    return ok ? std::string() : out.Error();
}

}  // namespace marrowix
