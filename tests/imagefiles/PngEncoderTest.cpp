// The PNG encoder compresses parts of an image on several threads and joins
// their deflate streams: every join must inflate, with zlib, to exactly the
// bytes that went in, and the file's checksums must hold.
#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "imagefiles/DeflateJoin.h"
#include "imagefiles/LiteralDeflate.h"
#include "imagefiles/PngEncoder.h"

namespace marrowix {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Deflate(const Bytes& data, int level) {
    std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> c(
        libdeflate_alloc_compressor(level), libdeflate_free_compressor);
    Bytes out(libdeflate_deflate_compress_bound(c.get(), data.size()));
    out.resize(
        libdeflate_deflate_compress(c.get(), data.data(), data.size(), out.data(), out.size()));
    return out;
}

// zlib with fixed Huffman codes only, which libdeflate never chooses for
// data of any size.
Bytes DeflateFixed(const Bytes& data) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_FIXED);
    Bytes out(deflateBound(&z, static_cast<uLong>(data.size())));
    z.next_in = const_cast<std::uint8_t*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Inflates a raw deflate stream (wrapped: with a zlib header and checksum);
// empty when zlib refuses it.
Bytes Inflate(const Bytes& stream, std::size_t expected, bool wrapped) {
    z_stream z{};
    inflateInit2(&z, wrapped ? 15 : -15);
    Bytes out(expected + 1);
    z.next_in = const_cast<std::uint8_t*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int status = inflate(&z, Z_FINISH);
    const bool whole = status == Z_STREAM_END && z.avail_in == 0;
    out.resize(z.total_out);
    inflateEnd(&z);
    return whole ? out : Bytes{};
}

Bytes Pieces(std::size_t size, std::uint32_t seed, bool smooth) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = smooth ? static_cast<std::uint8_t>(i / 97 + (random() & 3))
                          : static_cast<std::uint8_t>(random());
    }
    return bytes;
}

TEST(DeflateJoin, JoinedStreamsInflateToTheirInputsOneAfterAnother) {
    // Stored, fixed and dynamic blocks; an empty part; parts of one byte;
    // parts whose end-of-block code ends on a byte boundary or not.
    std::vector<Bytes> inputs;
    std::vector<Bytes> streams;
    std::uint32_t seed = 1;
    for (int level : {0, 1, 4, 6, 12}) {
        for (std::size_t size :
             {std::size_t{0}, std::size_t{1}, std::size_t{777}, std::size_t{300000}}) {
            for (bool smooth : {false, true}) {
                inputs.push_back(Pieces(size, seed++, smooth));
                streams.push_back(Deflate(inputs.back(), level));
            }
        }
    }
    for (std::size_t size : {std::size_t{5}, std::size_t{40000}}) {
        inputs.push_back(Pieces(size, seed++, true));
        streams.push_back(DeflateFixed(inputs.back()));
    }
    Bytes joined;
    Bytes expected;
    for (std::size_t i = 0; i < streams.size(); ++i) {
        ASSERT_TRUE(EndWithoutFinal(streams[i])) << "part " << i;
        // A part that continues ends with an empty stored block.
        ASSERT_GE(streams[i].size(), 4u);
        EXPECT_EQ(Bytes(streams[i].end() - 4, streams[i].end()), (Bytes{0x00, 0x00, 0xFF, 0xFF}));
        joined.insert(joined.end(), streams[i].begin(), streams[i].end());
        expected.insert(expected.end(), inputs[i].begin(), inputs[i].end());
    }
    // Then literals alone, each a continuing stream but the last: empty, one
    // byte, one value repeated, noise over several blocks, and counts that
    // double from one value to the next in one block, whose Huffman code is
    // 18 deep, deeper than deflate's 15 bits: it must be shortened.
    Bytes doubling(1, 0);
    for (std::uint32_t value = 1; value < 18; ++value) {
        doubling.insert(doubling.end(), std::size_t{1} << (value - 1),
                        static_cast<std::uint8_t>(value));
    }
    const std::vector<Bytes> literals = {Bytes{},
                                         Bytes{7},
                                         Bytes(300000, 0x42),
                                         doubling,
                                         Pieces(600000, seed++, false),
                                         Pieces(100000, seed++, true)};
    for (std::size_t i = 0; i < literals.size(); ++i) {
        DeflateLiterals(literals[i], i + 1 == literals.size(), joined);
        expected.insert(expected.end(), literals[i].begin(), literals[i].end());
    }
    EXPECT_EQ(Inflate(joined, expected.size(), false), expected);
}

TEST(DeflateJoin, RefusesWhatIsNotOneWholeStreamAndLeavesItUnchanged) {
    const Bytes input = Pieces(50000, 7, true);
    const Bytes whole = Deflate(input, 6);
    ASSERT_FALSE(whole.empty());
    Bytes cut(whole.begin(), whole.end() - 3);
    Bytes trailing = whole;
    trailing.push_back(0);
    Bytes reserved = {0x07};  // final, block type 3
    Bytes twoStreams = whole;
    twoStreams.insert(twoStreams.end(), whole.begin(), whole.end());
    Bytes badStored = {0x01, 0x05, 0x00, 0xFA, 0xF0};  // LEN 5, NLEN not its complement
    for (Bytes* stream : {&cut, &trailing, &reserved, &twoStreams, &badStored}) {
        const Bytes before = *stream;
        EXPECT_FALSE(EndWithoutFinal(*stream));
        EXPECT_EQ(*stream, before);
    }
    Bytes empty;
    EXPECT_FALSE(EndWithoutFinal(empty));
}

std::uint32_t Be32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// The RGBA rows of a PNG the encoder wrote, read without libpng (whose
// limits refuse very wide images): every chunk's CRC checked, the IDAT
// stream inflated by zlib with its Adler-32 checked, the Up filter undone.
Bytes ReadOwnPng(const Bytes& file, std::uint32_t& width, std::uint32_t& height) {
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_TRUE(file.size() > 8 && std::equal(kSignature, kSignature + 8, file.begin()));
    Bytes idat;
    for (std::size_t at = 8; at + 12 <= file.size();) {
        const std::uint32_t length = Be32(&file[at]);
        const std::uint8_t* type = &file[at + 4];
        EXPECT_EQ(crc32(0, type, length + 4), Be32(&file[at + 8 + length])) << "chunk at " << at;
        if (std::equal(type, type + 4, "IHDR")) {
            width = Be32(type + 4);
            height = Be32(type + 8);
        } else if (std::equal(type, type + 4, "IDAT")) {
            idat.insert(idat.end(), type + 4, type + 4 + length);
        }
        at += 12 + length;
    }
    const std::size_t rowBytes = std::size_t{width} * 4;
    Bytes filtered = Inflate(idat, (rowBytes + 1) * height, true);
    EXPECT_EQ(filtered.size(), (rowBytes + 1) * height);
    Bytes rgba(rowBytes * height);
    for (std::uint32_t y = 0; y < height && !filtered.empty(); ++y) {
        const std::uint8_t* in = &filtered[(rowBytes + 1) * y];
        EXPECT_EQ(in[0], 2) << "row " << y;
        for (std::size_t i = 0; i < rowBytes; ++i) {
            const std::uint8_t above = y > 0 ? rgba[rowBytes * (y - 1) + i] : 0;
            rgba[rowBytes * y + i] = static_cast<std::uint8_t>(in[1 + i] + above);
        }
    }
    return rgba;
}

TEST(PngEncoder, ImagesOfManyPartsReadBackExactly) {
    // A tall image of many parts, half smooth and half noise; a row longer
    // than a part; an image of a single row.
    struct Case {
        std::uint32_t width;
        std::uint32_t height;
    };
    for (const Case c : {Case{1500, 1400}, Case{1100000, 3}, Case{9, 1}}) {
        const Bytes pixels = Pieces(std::size_t{c.width} * c.height * 4, c.width, false);
        Bytes image = Pieces(pixels.size(), c.height, true);
        std::copy(pixels.begin() + pixels.size() / 2, pixels.end(),
                  image.begin() + image.size() / 2);
        std::FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        const PngPixelSource source = [&](std::uint32_t y, std::uint32_t x, std::uint32_t n,
                                          std::uint8_t* rgba) {
            std::copy_n(&image[(std::size_t{c.width} * y + x) * 4], std::size_t{n} * 4, rgba);
        };
        const std::string error = EncodePng(file, c.width, c.height, [&] { return source; });
        EXPECT_EQ(error, "");
        Bytes bytes(static_cast<std::size_t>(std::ftell(file)));
        std::rewind(file);
        ASSERT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
        std::fclose(file);
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        const Bytes read = ReadOwnPng(bytes, width, height);
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
        EXPECT_TRUE(read == image) << c.width << " x " << c.height;
    }
}

}  // namespace
}  // namespace marrowix
