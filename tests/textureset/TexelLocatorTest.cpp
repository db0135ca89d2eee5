// Locating single texels: the same values ReadTexels gives, from the bytes
// the source offsets name.
#include <gtest/gtest.h>

#include <random>

#include "decode/Decode.h"
#include "tests/TestFiles.h"
#include "textureset/TexelAccess.h"
#include "textureset/TextureSet.h"

namespace marrowix::test {
namespace {

std::vector<std::uint8_t> RandomBytes(std::size_t n, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(n);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

// Textures of odd and even sizes one after another in one data file, the
// last one cut short by the end of the file.
struct OddSizes {
    TempDir dir;
    std::vector<std::uint8_t> data;
    std::unique_ptr<CTextureSet> set;

    explicit OddSizes(const std::string& mode) {
        const std::vector<std::pair<int, int>> sizes = {{1, 1}, {2, 2},  {5, 3}, {4, 4},
                                                        {7, 9}, {3, 13}, {9, 6}};
        SetFiles files;
        files.mode = mode;
        files.listing = "cat=0 name=all\n";
        std::vector<std::uint32_t> table = {0};
        std::uint32_t offset = 5;  // data need not start at 0
        for (const auto& [w, h] : sizes) {
            files.listing +=
                "\"t\" width=" + std::to_string(w) + " height=" + std::to_string(h) + "\n";
            table.push_back(offset);
            const TextureEntry e{{}, w, h, 0, 0};
            offset += static_cast<std::uint32_t>(
                8 + EntryDataSize(e, mode == "dxt" ? kModeDxt : kModeEtc));
        }
        for (std::uint32_t t : table) {
            const auto le = Le32({t});
            files.table.insert(files.table.end(), le.begin(), le.end());
        }
        data = RandomBytes(offset - 11, 42);  // the last texture loses 11 bytes
        files.data = data;
        set = OpenSet(WriteSet(dir, files), mode);
    }
};

void ExpectEveryTexelMatches(const std::string& mode) {
    OddSizes s(mode);
    const CTextureSet& set = *s.set;
    ASSERT_EQ(set.GetEntryCount(), 7u);
    for (std::size_t i = 0; i < set.GetEntryCount(); ++i) {
        const TextureEntry e = set.GetEntry(i);
        const auto texels = ReadTexels(set, e);
        ASSERT_TRUE(texels.ok());
        const auto w = static_cast<std::uint32_t>(e.width);
        const auto h = static_cast<std::uint32_t>(e.height);
        for (std::uint32_t y = 0; y < h; ++y) {
            for (std::uint32_t x = 0; x < w; ++x) {
                const auto found = LocateTexel(set, i, x, y);
                ASSERT_TRUE(found.ok()) << found.error;
                const TexelLocation& t = found.value;
                EXPECT_EQ(t.texel, texels.value[std::size_t{y} * w + x])
                    << mode << " entry " << i << " texel " << x << "," << y;
                const std::uint64_t base = std::uint64_t{e.offset} + 8;
                if (mode == "dxt") {
                    EXPECT_EQ(t.offset, base + 16 * ((y / 4) * ((w + 3) / 4) + x / 4));
                    EXPECT_EQ(t.size, 16u);
                    EXPECT_EQ(t.blockColumn, x / 4);
                    EXPECT_EQ(t.blockRow, y / 4);
                } else {
                    EXPECT_EQ(t.offset, base + 2 * (std::uint64_t{y} * w + x));
                    EXPECT_EQ(t.size, 2u);
                }
                // The bytes are the file's own, cut where the file ends.
                const std::size_t held = static_cast<std::size_t>(std::min<std::uint64_t>(
                    t.size, s.data.size() > t.offset ? s.data.size() - t.offset : 0));
                ASSERT_EQ(t.bytes.size(), held);
                EXPECT_TRUE(std::equal(t.bytes.begin(), t.bytes.end(),
                                       s.data.begin() + static_cast<std::ptrdiff_t>(t.offset)));
            }
        }
    }
}

TEST(LocateTexel, AgreesWithReadTexelsOnEveryTexelOfEtcTextures) {
    ExpectEveryTexelMatches("etc");
}

TEST(LocateTexel, AgreesWithReadTexelsOnEveryTexelOfDxtTextures) {
    ExpectEveryTexelMatches("dxt");
}

TEST(LocateTexel, BlockFieldsAndIndices) {
    TempDir dir;
    SetFiles files;
    files.listing = "\"b\" width=8 height=4\n";
    files.table = Le32({0});
    files.data.assign(8 + 16, 0);
    // Second block: alpha 255 / 0, alpha index 7 for texel 5 (bits 15-17),
    // colours 0xF800 and 0x001F, colour index 2 for texel 5 (bits 10-11).
    const std::vector<std::uint8_t> block = {255,  0,    0x00, 0x80, 0x03, 0,    0, 0,
                                             0x00, 0xF8, 0x1F, 0x00, 0x00, 0x08, 0, 0};
    files.data.insert(files.data.end(), block.begin(), block.end());
    auto set = OpenSet(WriteSet(dir, files));
    const auto found = LocateTexel(*set, 0, 5, 1);
    ASSERT_TRUE(found.ok()) << found.error;
    const TexelLocation& t = found.value;
    EXPECT_TRUE(t.hasBlock);
    EXPECT_EQ(t.offset, 24u);
    EXPECT_EQ(t.blockColumn, 1u);
    EXPECT_EQ(t.blockRow, 0u);
    EXPECT_EQ(t.alpha0, 255);
    EXPECT_EQ(t.alpha1, 0);
    EXPECT_EQ(t.colour0, 0xF800);
    EXPECT_EQ(t.colour1, 0x001F);
    EXPECT_EQ(t.alphaIndex, 7);
    EXPECT_EQ(t.colourIndex, 2);
    // Colour 2 = (2 x red + blue) / 3: red 170, blue 85; alpha index 7 of
    // the eight-level ramp: (255 + 6 x 0) / 7 = 36.
    EXPECT_EQ(t.texel, 0xA052);
    EXPECT_EQ(LocateTexel(*set, 0, 4, 0).value.alphaIndex, 0);
}

TEST(LocateTexel, RefusalsAndMissingData) {
    TempDir dir;
    SetFiles files;
    files.mode = "etc";
    files.listing =
        "\"ok\" width=2 height=2\n\"neg\" width=-1 height=2\n\"far\" width=2 height=2\n";
    files.table = Le32({0, 0, 4000});
    files.data = {1, 2, 3, 4, 5, 6, 7, 8, 0x34, 0x12, 0x78};
    auto set = OpenSet(WriteSet(dir, files), "etc");
    EXPECT_NE(LocateTexel(*set, 3, 0, 0).error.find("no such entry"), std::string::npos);
    EXPECT_NE(LocateTexel(*set, 1, 0, 0).error.find("negative size"), std::string::npos);
    EXPECT_NE(LocateTexel(*set, 0, 2, 0).error.find("outside"), std::string::npos);
    EXPECT_NE(LocateTexel(*set, 0, 0, 2).error.find("outside"), std::string::npos);

    EXPECT_EQ(LocateTexel(*set, 0, 0, 0).value.texel, 0x1234);
    // Half a texel: the byte that is there is the low byte, as ReadTexels has it.
    const auto half = LocateTexel(*set, 0, 1, 0);
    EXPECT_EQ(half.value.texel, 0x0078);
    EXPECT_EQ(half.value.bytes, std::vector<std::uint8_t>{0x78});
    EXPECT_EQ(ReadTexels(*set, set->GetEntry(0)).value[1], 0x0078);
    const auto gone = LocateTexel(*set, 0, 1, 1);
    EXPECT_EQ(gone.value.texel, 0);
    EXPECT_TRUE(gone.value.bytes.empty());
    const auto far = LocateTexel(*set, 2, 1, 1);
    EXPECT_EQ(far.value.offset, 4000u + 8 + 6);
    EXPECT_TRUE(far.value.bytes.empty());
}

}  // namespace
}  // namespace marrowix::test
