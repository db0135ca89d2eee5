// Statistics of a texture against a direct computation over the texels the
// reader gives, for both encodings and precisions, whole and in regions;
// block-mode counts on hand-made blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <tuple>

#include "stats/KeyedCounts.h"
#include "stats/TextureStats.h"
#include "tests/TestFiles.h"
#include "tests/inspect/RunInspect.h"
#include "textureset/TexelAccess.h"

namespace marrowix::test {
namespace {

// One entry of width x height whose data (after the header) is `data`.
std::unique_ptr<CTextureSet> OneEntry(const TempDir& dir, const std::string& mode, int width,
                                      int height, const std::vector<std::uint8_t>& data) {
    SetFiles files;
    files.mode = mode;
    files.listing =
        "\"t\" width=" + std::to_string(width) + " height=" + std::to_string(height) + "\n";
    files.table = Le32({0});
    files.data.assign(8, 0);
    for (const std::uint8_t b : data) {
        files.data.push_back(b);
    }
    return OpenSet(WriteSet(dir, files), mode);
}

// The texels at 8 bits as the viewer shows them at `precision`, every
// figure computed from them directly.
TextureStats Direct(const CTextureSet& set, Precision precision, const TexelRect& r) {
    const TextureEntry e = set.GetEntry(0);
    std::vector<std::uint32_t> texels(std::size_t(e.width) * std::size_t(e.height));
    if (precision == Precision::kFull) {
        ReadTexelRows(set, e, 0, static_cast<std::uint32_t>(e.height), texels.data());
    } else {
        const auto nibbles = ReadTexels(set, e);
        for (std::size_t i = 0; i < texels.size(); ++i) {
            texels[i] = WidenTexel(nibbles.value.data()[i]);
        }
    }
    TextureStats s;
    std::set<std::uint32_t> distinct;
    std::vector<std::uint32_t> inside;
    for (std::uint32_t y = r.y; y < r.y + r.height; ++y) {
        for (std::uint32_t x = r.x; x < r.x + r.width; ++x) {
            inside.push_back(texels[std::size_t(y) * std::size_t(e.width) + x]);
        }
    }
    s.texels = inside.size();
    for (int c = 0; c < 4; ++c) {
        const int shift = c == 3 ? 24 : 16 - 8 * c;
        double sum = 0;
        int lo = 255;
        int hi = 0;
        for (const std::uint32_t p : inside) {
            const int v = int((p >> shift) & 255);
            sum += v;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
            ++s.channels[c].histogram[v];
        }
        const double mean = sum / double(inside.size());
        double squares = 0;
        for (const std::uint32_t p : inside) {
            squares += std::pow(double((p >> shift) & 255) - mean, 2);
        }
        s.channels[c].min = std::uint8_t(lo);
        s.channels[c].max = std::uint8_t(hi);
        s.channels[c].mean = mean;
        s.channels[c].stddev = std::sqrt(squares / double(inside.size()));
    }
    for (const std::uint32_t p : inside) {
        const std::uint32_t a = p >> 24;
        ++(a == 0 ? s.transparent : a == 255 ? s.opaque : s.translucent);
    }
    return s;
}

TEST(Stats, AgreeWithTheTexelsComputedDirectly) {
    struct Row {
        const char* mode;
        int width;
        int height;
        Precision precision;
        TexelRect region;  // width 0: the whole texture
    };
    const Row rows[] = {
        {"etc", 7, 5, Precision::kNibbles, {}},
        {"etc", 7, 5, Precision::kFull, {2, 1, 4, 3}},
        {"etc", 3000, 50, Precision::kFull, {}},  // bands of whole rows, a table of values
        {"dxt", 9, 6, Precision::kFull, {}},
        {"dxt", 9, 6, Precision::kNibbles, {}},
        {"dxt", 9, 6, Precision::kFull, {3, 2, 5, 3}},       // across blocks, not on their edges
        {"dxt", 9, 6, Precision::kNibbles, {6, 5, 99, 99}},  // clipped to the texture
        {"dxt", 1100, 1100, Precision::kFull, {}},           // on every core
        {"dxt", 6, 3000, Precision::kFull, {}},              // narrow: many rows of blocks a read
        {"dxt", 6, 3000, Precision::kNibbles, {0, 3, 6, 2990}},
    };
    std::mt19937 random(5);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.mode) + " " + std::to_string(row.width) + " region " +
                     std::to_string(row.region.width));
        TempDir dir;
        const bool dxt = std::string(row.mode) == "dxt";
        std::vector<std::uint8_t> data(dxt ? BlockDataSize(row.width, row.height)
                                           : std::size_t(row.width * row.height * 2));
        for (auto& b : data) {
            b = static_cast<std::uint8_t>(random() % 7 == 0 ? 255 : random());
        }
        const auto set = OneEntry(dir, row.mode, row.width, row.height, data);
        TexelRect whole{0, 0, std::uint32_t(row.width), std::uint32_t(row.height)};
        TexelRect r = row.region.width == 0 ? whole : row.region;
        const Result<TextureStats> got =
            ComputeStats(*set, 0, row.precision, row.region.width == 0 ? nullptr : &r);
        ASSERT_TRUE(got.ok()) << got.error;
        r.width = std::min(r.width, whole.width - r.x);
        r.height = std::min(r.height, whole.height - r.y);
        const TextureStats want = Direct(*set, row.precision, r);
        EXPECT_EQ(got.value.texels, want.texels);
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(got.value.channels[c].histogram, want.channels[c].histogram) << c;
            EXPECT_EQ(got.value.channels[c].min, want.channels[c].min) << c;
            EXPECT_EQ(got.value.channels[c].max, want.channels[c].max) << c;
            EXPECT_NEAR(got.value.channels[c].mean, want.channels[c].mean, 1e-9) << c;
            EXPECT_NEAR(got.value.channels[c].stddev, want.channels[c].stddev, 1e-9) << c;
        }
        EXPECT_EQ(got.value.transparent, want.transparent);
        EXPECT_EQ(got.value.opaque, want.opaque);
        EXPECT_EQ(got.value.translucent, want.translucent);
        EXPECT_FALSE(got.value.incomplete);
        if (!dxt) {
            std::set<std::uint16_t> distinct;
            for (std::uint32_t y = r.y; y < r.y + r.height; ++y) {
                for (std::uint32_t x = r.x; x < r.x + r.width; ++x) {
                    const std::size_t at = (std::size_t(y) * std::size_t(row.width) + x) * 2;
                    distinct.insert(std::uint16_t(data[at] | data[at + 1] << 8));
                }
            }
            EXPECT_EQ(got.value.distinct, distinct.size());
        }
    }
}

// Every block path against the scalar one, every figure exactly, on
// textures large enough for the vector path: random blocks, and blocks made
// to sit on the edges of the modes (one colour at 8 bits or only in the
// high nibbles, one index used, equal end points, either alpha mode).
TEST(Stats, EveryPathAgreesWithTheScalarOne) {
    struct Row {
        bool edges;
        Precision precision;
        TexelRect region;  // width 0: the whole texture
    };
    const Row rows[] = {
        {false, Precision::kFull, {}},
        {true, Precision::kFull, {}},
        {true, Precision::kNibbles, {}},
        {true, Precision::kFull, {5, 2, 1090, 1093}},  // cuts blocks on every side
        {true, Precision::kNibbles, {36, 0, 1064, 1100}},
    };
    std::mt19937 random(9);
    auto edgeBlock = [&random](std::uint8_t* b) {
        const std::uint32_t kind = random() % 6;
        for (int i = 0; i < 16; ++i) {
            b[i] = static_cast<std::uint8_t>(random());
        }
        const std::uint16_t c0 = static_cast<std::uint16_t>(b[8] | b[9] << 8);
        std::uint16_t c1 = c0;
        if (kind == 1) {
            c1 = static_cast<std::uint16_t>(c0 ^ (1u << (random() % 16)));  // one bit apart
        } else if (kind == 2) {
            c1 = static_cast<std::uint16_t>(c0 ^ 0x0821);  // apart in the low bits only
        }
        b[10] = static_cast<std::uint8_t>(c1);
        b[11] = static_cast<std::uint8_t>(c1 >> 8);
        if (kind == 3) {
            std::memset(b + 12, (random() % 4) * 0x55, 4);  // one index
        }
        if (kind == 4) {
            b[1] = b[0];
            std::memset(b + 2, random() % 2 == 0 ? 0xFF : 0x00, 6);
        }
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.edges) +
                     (row.precision == Precision::kFull ? " 8-bit" : " 4-bit") + " region " +
                     std::to_string(row.region.x));
        TempDir dir;
        std::vector<std::uint8_t> data(BlockDataSize(1100, 1100));
        for (std::size_t at = 0; at < data.size(); at += kBlockBytes) {
            if (row.edges) {
                edgeBlock(data.data() + at);
            } else {
                for (std::size_t i = 0; i < kBlockBytes; ++i) {
                    data[at + i] = static_cast<std::uint8_t>(random());
                }
            }
        }
        const auto set = OneEntry(dir, "dxt", 1100, 1100, data);
        const TexelRect* region = row.region.width == 0 ? nullptr : &row.region;
        ASSERT_TRUE(ForceStatsPath(StatsPath::kScalar));
        const TextureStats want = ComputeStats(*set, 0, row.precision, region).value;
        EXPECT_GE(want.oneColour, row.edges ? want.blocks / 4 : 0);
        for (const StatsPath path : AvailableStatsPaths()) {
            ASSERT_TRUE(ForceStatsPath(path));
            const TextureStats got = ComputeStats(*set, 0, row.precision, region).value;
            for (int c = 0; c < 4; ++c) {
                EXPECT_EQ(got.channels[c].histogram, want.channels[c].histogram)
                    << StatsPathName(path) << " channel " << c;
            }
            EXPECT_EQ(std::tie(got.texels, got.blocks, got.alphaEight, got.alphaSix,
                               got.threeColourOrder, got.oneColour),
                      std::tie(want.texels, want.blocks, want.alphaEight, want.alphaSix,
                               want.threeColourOrder, want.oneColour))
                << StatsPathName(path);
        }
    }
    const std::vector<StatsPath> paths = AvailableStatsPaths();
    if (std::find(paths.begin(), paths.end(), StatsPath::kAvx2) == paths.end()) {
        std::printf("stats path not run on this processor: avx2\n");
    }
    ForceStatsPath(paths.back());
}

// Four hand-made blocks of an 8 x 8 texture: their alpha modes, end-point
// order and uniformity counted; a region counts the blocks it touches; data
// cut short is said.
TEST(Stats, BlockModesOfHandMadeBlocks) {
    auto block = [](std::uint8_t a0, std::uint8_t a1, std::uint16_t c0, std::uint16_t c1,
                    std::uint32_t colourIndices) {
        std::vector<std::uint8_t> b = {a0, a1, 0, 0, 0, 0, 0, 0};
        for (const std::uint16_t c : {c0, c1}) {
            b.push_back(std::uint8_t(c));
            b.push_back(std::uint8_t(c >> 8));
        }
        for (int i = 0; i < 4; ++i) {
            b.push_back(std::uint8_t(colourIndices >> (8 * i)));
        }
        return b;
    };
    std::vector<std::uint8_t> data;
    for (const auto& b : {block(200, 10, 0xF800, 0x001F, 0x00000000),    // 8 values, one colour
                          block(10, 200, 0xF800, 0x001F, 0xE4E4E4E4),    // 6 values, four colours
                          block(50, 50, 0x1234, 0x1234, 0x55AA55AA),     // c0 = c1: one colour
                          block(0, 255, 0x0001, 0xFFFF, 0x00000000)}) {  // c0 < c1, index 0 only
        data.insert(data.end(), b.begin(), b.end());
    }
    TempDir dir;
    const auto set = OneEntry(dir, "dxt", 8, 8, data);
    struct Row {
        TexelRect region;
        std::uint64_t blocks, eight, six, ascending, one;
    };
    const Row rows[] = {
        {{0, 0, 8, 8}, 4, 1, 3, 2, 3},
        {{3, 0, 2, 1}, 2, 1, 1, 0, 1},  // the first two blocks
        {{0, 4, 8, 4}, 2, 0, 2, 2, 2},
    };
    for (const Row& row : rows) {
        const auto got = ComputeStats(*set, 0, Precision::kFull, &row.region);
        ASSERT_TRUE(got.ok());
        EXPECT_EQ(got.value.blocks, row.blocks);
        EXPECT_EQ(got.value.alphaEight, row.eight);
        EXPECT_EQ(got.value.alphaSix, row.six);
        EXPECT_EQ(got.value.threeColourOrder, row.ascending);
        EXPECT_EQ(got.value.oneColour, row.one);
    }
    data.resize(40);  // the third block cut short, the fourth gone
    TempDir cut;
    const auto shortSet = OneEntry(cut, "dxt", 8, 8, data);
    EXPECT_TRUE(ComputeStats(*shortSet, 0, Precision::kFull).value.incomplete);
    EXPECT_FALSE(ComputeStats(*set, 1, Precision::kFull).ok());  // no such entry
}

// The command line: a line or a JSON object an entry, one entry or all.
TEST(Stats, FromTheCommandLine) {
    TempDir dir;
    SetFiles files;
    files.mode = "etc";
    files.listing = "\"a\" width=2 height=1\n\"b\" width=0 height=3\n";
    files.table = Le32({0, 12});
    files.data = {0, 0, 0, 0, 0, 0, 0, 0, 0x0F, 0xF0, 0x0F, 0x0F};
    const std::string listing = WriteSet(dir, files).string();
    const std::string a =
        "0 \"a\" 2 x 1  R 0..255 mean 127.50 sd 127.50  G 0..255 mean 127.50 sd 127.50  "
        "B 0..0 mean 0.00 sd 0.00  A 255..255 mean 255.00 sd 0.00  alpha 0: 0 255: 2 between: 0  "
        "distinct texels 2\n";
    struct Row {
        std::vector<std::string> args;
        int code;
        std::string out;  // the whole output, or with `part` a part of it
        bool part = false;
    };
    const Row rows[] = {
        {{"--mode", "etc", "--stats", "0", listing}, 0, a},
        {{"--mode", "etc", "--stats", listing}, 0, a + "1 \"b\" 0 x 3  no texels\n"},
        {{"--mode", "etc", "--stats", "0", "--json", listing},
         0,
         "\"alpha\":{\"transparent\":0,\"opaque\":2,\"between\":0},\"distinctTexels\":2,"
         "\"incomplete\":false}\n",
         true},
        {{"--mode", "etc", "--stats", "2", listing}, 1, ""},
        {{"--stats", "--texel", "0", "0", "0", listing}, 2, ""},
    };
    for (const Row& row : rows) {
        const Outcome o = Inspect(dir, row.args);
        EXPECT_EQ(o.code, row.code) << row.args[2] << o.err;
        if (row.part) {
            EXPECT_NE(o.out.find(row.out), std::string::npos) << o.out;
        } else {
            EXPECT_EQ(o.out, row.out);
        }
    }
}

}  // namespace
}  // namespace marrowix::test
