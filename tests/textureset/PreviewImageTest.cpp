#include <gtest/gtest.h>

#include <random>

#include "decode/Decode.h"
#include "tests/TestFiles.h"
#include "textureset/PreviewImage.h"
#include "textureset/TexelAccess.h"

namespace marrowix::test {
namespace {

std::unique_ptr<CTextureSet> EtcSet(const TempDir& dir, const std::string& listing,
                                    const std::vector<std::uint16_t>& texels) {
    SetFiles files;
    files.mode = "etc";
    files.listing = listing;
    files.table = Le32({0, 0, 0, 0});
    files.data.assign(8, 0);
    for (std::uint16_t t : texels) {
        files.data.push_back(static_cast<std::uint8_t>(t));
        files.data.push_back(static_cast<std::uint8_t>(t >> 8));
    }
    return OpenSet(WriteSet(dir, files), "etc");
}

TEST(BuildPreviewDib, HeaderAndBottomUpPixels) {
    TempDir dir;
    // 1 x 2: red with full alpha on top, 0x1234 below.
    auto set = EtcSet(dir, "\"t\" width=1 height=2\n", {0xF00F, 0x1234});
    auto dib = BuildPreviewDib(*set, 0);
    ASSERT_TRUE(dib.ok()) << dib.error;
    ASSERT_EQ(dib.value.size(), 40u + 8u);
    const BITMAPINFOHEADER h = ReadDibHeader(dib.value);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 1);
    EXPECT_EQ(h.biHeight, 2);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 32);
    EXPECT_EQ(h.biCompression, 0u);
    EXPECT_EQ(h.biSizeImage, 8u);
    EXPECT_EQ(h.biXPelsPerMeter | h.biYPelsPerMeter, 0);
    EXPECT_EQ(h.biClrUsed | h.biClrImportant, 0u);
    // The raw header bytes, little-endian.
    EXPECT_EQ(dib.value[0], 40);
    EXPECT_EQ(dib.value[12], 1);
    EXPECT_EQ(dib.value[14], 32);
    // Bottom texel first: 0x1234 is red 1, green 2, blue 3, alpha 4.
    const std::vector<std::uint8_t> pixels(dib.value.begin() + 40, dib.value.end());
    EXPECT_EQ(pixels, (std::vector<std::uint8_t>{0x30, 0x20, 0x10, 0x40, 0, 0, 240, 240}));
}

TEST(BuildPreviewDib, EmptyAndRefusedEntries) {
    TempDir dir;
    auto set = EtcSet(dir,
                      "\"zero\" width=0 height=5\n\"neg\" width=-3 height=5\n"
                      "\"huge\" width=16384 height=16384\n",
                      {});
    auto zero = BuildPreviewDib(*set, 0);
    ASSERT_TRUE(zero.ok());
    ASSERT_EQ(zero.value.size(), 40u);
    EXPECT_EQ(ReadDibHeader(zero.value).biWidth, 0);
    EXPECT_EQ(ReadDibHeader(zero.value).biSizeImage, 0u);
    EXPECT_NE(BuildPreviewDib(*set, 1).error.find("negative size -3 x 5"), std::string::npos);
    EXPECT_NE(BuildPreviewDib(*set, 2).error.find("too large"), std::string::npos);
    EXPECT_NE(BuildPreviewDib(*set, 3).error.find("no entry 3"), std::string::npos);
}

TEST(BuildPreviewDib, DxtAndEtcOfTheSameImageAgree) {
    // A flat dxt block of 0xFFFF/alpha 255 and the etc texels 0xFFFF give the
    // same pixels: a full nibble becomes 240, not 255.
    TempDir dxtDir;
    SetFiles files;
    files.listing = "\"w\" width=4 height=4\n";
    files.table = Le32({0});
    files.data.assign(8, 0);
    std::vector<std::uint8_t> block(16, 0);
    block[0] = block[1] = 255;
    block[8] = block[9] = 0xFF;
    files.data.insert(files.data.end(), block.begin(), block.end());
    auto dxt = OpenSet(WriteSet(dxtDir, files));
    TempDir etcDir;
    auto etc = EtcSet(etcDir, files.listing, std::vector<std::uint16_t>(16, 0xFFFF));
    auto a = BuildPreviewDib(*dxt, 0);
    auto b = BuildPreviewDib(*etc, 0);
    ASSERT_TRUE(a.ok() && b.ok());
    EXPECT_EQ(a.value, b.value);
    EXPECT_EQ(a.value[40], 240);
}

// Built in strips, the image is the whole texel read widened pixel by pixel:
// textures taller than a strip, heights that end inside a strip and inside
// a row of blocks, data that ends inside a strip.
TEST(BuildPreviewDib, StripsGiveTheWholeReadWidened) {
    std::mt19937 random(5);
    for (const std::string mode : {"etc", "dxt"}) {
        for (const auto& [w, h] : std::vector<std::pair<int, int>>{
                 {7, 100}, {300, 450}, {1000, 77}, {16400, 9}, {3, 70001}}) {
            TempDir dir;
            SetFiles files;
            files.mode = mode;
            files.listing =
                "\"t\" width=" + std::to_string(w) + " height=" + std::to_string(h) + "\n";
            files.table = Le32({0});
            const TextureEntry e{{}, w, h, 0, 0};
            // A little more than half the data: the end falls inside a strip.
            files.data.resize(8 + EntryDataSize(e, mode == "dxt" ? kModeDxt : kModeEtc) / 2 + 3);
            for (auto& b : files.data) {
                b = static_cast<std::uint8_t>(random());
            }
            auto set = OpenSet(WriteSet(dir, files), mode);
            const auto texels = ReadTexels(*set, set->GetEntry(0));
            const auto dib = BuildPreviewDib(*set, 0);
            ASSERT_TRUE(texels.ok() && dib.ok());
            const std::uint8_t* pixels = dib.value.data() + kDibHeaderSize;
            for (int i = 0; i < h; ++i) {
                for (int j = 0; j < w; ++j) {
                    const std::uint32_t v = texels.value[std::size_t(i) * w + j];
                    const std::uint8_t* p = pixels + (std::size_t(h - 1 - i) * w + j) * 4;
                    ASSERT_EQ(p[0], v & 0xF0) << mode << " " << w << " x " << h;
                    ASSERT_EQ(p[1], (v >> 4) & 0xF0);
                    ASSERT_EQ(p[2], (v >> 8) & 0xF0);
                    ASSERT_EQ(p[3], (v & 0x0F) << 4);
                }
            }
        }
    }
}

}  // namespace
}  // namespace marrowix::test
