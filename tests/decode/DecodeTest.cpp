#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "decode/Decode.h"

namespace marrowix {
namespace {

using Block = std::array<std::uint8_t, 16>;

// A block from its fields.
Block MakeBlock(std::uint8_t a0, std::uint8_t a1, std::uint64_t alphaIndices, std::uint16_t c0,
                std::uint16_t c1, std::uint32_t colourIndices) {
    Block b{};
    b[0] = a0;
    b[1] = a1;
    for (int i = 0; i < 6; ++i) {
        b[2 + i] = static_cast<std::uint8_t>(alphaIndices >> (8 * i));
    }
    b[8] = static_cast<std::uint8_t>(c0);
    b[9] = static_cast<std::uint8_t>(c0 >> 8);
    b[10] = static_cast<std::uint8_t>(c1);
    b[11] = static_cast<std::uint8_t>(c1 >> 8);
    for (int i = 0; i < 4; ++i) {
        b[12 + i] = static_cast<std::uint8_t>(colourIndices >> (8 * i));
    }
    return b;
}

std::uint64_t AllAlpha(std::uint64_t index) {
    std::uint64_t bits = 0;
    for (int k = 0; k < 16; ++k) {
        bits |= index << (3 * k);
    }
    return bits;
}

std::uint32_t AllColour(std::uint32_t index) {
    std::uint32_t bits = 0;
    for (int k = 0; k < 16; ++k) {
        bits |= index << (2 * k);
    }
    return bits;
}

std::vector<std::uint16_t> Decode4x4(const Block& b, std::uint32_t layout = kLayoutRgba4444) {
    std::vector<std::uint16_t> out(16, 0xDEAD);
    EXPECT_TRUE(DecodeBlockImage(4, 4, b, out, layout));
    return out;
}

TEST(Expand, FormulasNotRounding) {
    EXPECT_EQ(Expand5(31), 255u);
    EXPECT_EQ(Expand5(1), 8u);
    EXPECT_EQ(Expand5(20), 164u);
    EXPECT_EQ(Expand5(0), 0u);
    EXPECT_EQ(Expand6(63), 255u);
    EXPECT_EQ(Expand6(53), 214u);
    EXPECT_EQ(Expand6(0), 0u);
}

TEST(PackTexel, Layouts) {
    EXPECT_EQ(PackTexel(0x4444, 0xAB, 0xCD, 0xEF, 0x12), 0xACE1u);
    EXPECT_EQ(PackTexel(0x565, 255, 255, 255, 0), 0xFFFFu);
    EXPECT_EQ(PackTexel(0x565, 8, 4, 8, 0), (1u << 11) | (1u << 5) | 1u);
    EXPECT_EQ(PackTexel(0x888, 1, 2, 3, 4), 0x030201u);
    EXPECT_EQ(PackTexel(0x8888, 1, 2, 3, 4), 0x04010203u);
    EXPECT_EQ(PackTexel(0x1555, 255, 0, 8, 1), 0x8000u | (31u << 10) | 1u);
    EXPECT_EQ(PackTexel(0, 255, 255, 255, 0), 0x7FFFu);
}

TEST(DecodeBlock, ColourPalette) {
    // White and black, index 2: two thirds of the way to white.
    auto out = Decode4x4(MakeBlock(255, 255, 0, 0xFFFF, 0x0000, AllColour(2)));
    for (auto t : out) {
        EXPECT_EQ(t, 0xAAAF);  // R = G = B = 170 -> nibble 10, alpha 255 -> 15
    }
    // Black then white still uses four colours: index 2 is 85, index 3 is 170.
    out = Decode4x4(MakeBlock(0, 0, 0, 0x0000, 0xFFFF, 0b11100100));
    EXPECT_EQ(out[0], 0x0000);
    EXPECT_EQ(out[1], 0xFFF0);
    EXPECT_EQ(out[2], 0x5550);
    EXPECT_EQ(out[3], 0xAAA0);
    // Red 31 widens to 255; red field 20 to 164 (nibble 10).
    out = Decode4x4(MakeBlock(0, 0, 0, 31 << 11, 20 << 11, 0b0100));
    EXPECT_EQ(out[0], 0xF000);
    EXPECT_EQ(out[1], 0xA000);
}

TEST(DecodeBlock, ColourPaletteInOtherLayouts) {
    std::vector<std::uint16_t> out(16);
    // Red field 1 widens to 8; in 565 that is red 1.
    const Block b = MakeBlock(255, 0, 0, 1 << 11, 0, 0);
    ASSERT_TRUE(DecodeBlockImage(4, 4, b, out, kLayoutRgb565));
    EXPECT_EQ(out[0], 1u << 11);
    ASSERT_TRUE(DecodeBlockImage(4, 4, b, out, kLayoutArgb8888));
    EXPECT_EQ(out[0], 8u << 16 & 0xFFFF) << "only the low 16 bits are stored";
    ASSERT_TRUE(DecodeBlockImage(4, 4, b, out, 0));
    EXPECT_EQ(out[0], 0x8000u | (1u << 10));
}

TEST(DecodeBlock, AlphaRamps) {
    auto alphaOf = [](const std::vector<std::uint16_t>& out, int k) { return out[k] & 0xF; };
    // a0 > a1: eight levels. Index 2 of 255..0 is 6 x 255 / 7 = 218 (nibble 13).
    auto out = Decode4x4(MakeBlock(255, 0, AllAlpha(2), 0, 0, 0));
    EXPECT_EQ(alphaOf(out, 0), 218 >> 4);
    // a0 <= a1: six levels plus 0 and 255.
    out = Decode4x4(MakeBlock(0, 255, AllAlpha(7), 0, 0, 0));
    EXPECT_EQ(alphaOf(out, 3), 15);
    out = Decode4x4(MakeBlock(0, 255, AllAlpha(6), 0, 0, 0));
    EXPECT_EQ(alphaOf(out, 3), 0);
    out = Decode4x4(MakeBlock(0, 255, AllAlpha(2), 0, 0, 0));
    EXPECT_EQ(alphaOf(out, 3), 51 >> 4);
    // Equal end points.
    for (std::uint64_t i = 0; i < 8; ++i) {
        out = Decode4x4(MakeBlock(77, 77, AllAlpha(i), 0, 0, 0));
        const int expected = i == 6 ? 0 : i == 7 ? 15 : 77 >> 4;
        EXPECT_EQ(alphaOf(out, 9), expected) << "index " << i;
    }
    // Exact values through the 8888 layout's alpha byte are lost to 16 bits;
    // the 1555 layout tells zero from non-zero alpha.
    std::vector<std::uint16_t> wide(16);
    ASSERT_TRUE(DecodeBlockImage(4, 4, MakeBlock(0, 255, AllAlpha(6), 0, 0, 0), wide, 0));
    EXPECT_EQ(wide[0] & 0x8000, 0);
}

TEST(DecodeBlock, AlphaIndexOfTexelFiveStraddlesTheTwoParts) {
    Block b = MakeBlock(0, 255, 0, 0, 0, 0);
    const std::uint8_t bits[6] = {0x00, 0x80, 0x03, 0x00, 0x00, 0x00};
    std::copy(bits, bits + 6, b.begin() + 2);
    const auto out = Decode4x4(b);
    for (int k = 0; k < 16; ++k) {
        EXPECT_EQ(out[k] & 0xF, k == 5 ? 15 : 0) << "texel " << k;
    }
}

TEST(DecodeBlockImage, BlocksAreLaidOutRowByRowAndClipped) {
    // A 6 x 6 image from 2 x 2 blocks, each block one flat grey level.
    std::vector<std::uint8_t> blocks;
    const std::uint16_t greys[4] = {0x0000, 0x3186, 0x8410, 0xFFFF};
    for (std::uint16_t g : greys) {
        const Block b = MakeBlock(255, 255, 0, g, g, 0);
        blocks.insert(blocks.end(), b.begin(), b.end());
    }
    std::vector<std::uint16_t> out(36, 0xDEAD);
    ASSERT_TRUE(DecodeBlockImage(6, 6, blocks, out, kLayoutRgba4444));
    auto at = [&](int x, int y) { return out[y * 6 + x]; };
    EXPECT_EQ(at(0, 0), 0x000F);
    EXPECT_EQ(at(5, 0), at(4, 3)) << "block 1 covers columns 4 and 5";
    EXPECT_NE(at(4, 0), at(0, 0));
    EXPECT_EQ(at(0, 5), at(3, 4)) << "block 2 covers rows 4 and 5";
    EXPECT_EQ(at(5, 5), 0xFFFF);
    for (auto t : out) {
        EXPECT_NE(t, 0xDEAD);
    }
}

TEST(DecodeBlockImage, StaysWithinItsBuffers) {
    // Short block data decodes the missing bytes as 0; a short output is refused.
    const Block full = MakeBlock(255, 255, 0, 0xFFFF, 0xFFFF, 0);
    std::vector<std::uint8_t> partial(full.begin(), full.begin() + 10);  // colour 1 cut off
    std::vector<std::uint16_t> out(5 * 5, 0xDEAD);
    ASSERT_TRUE(DecodeBlockImage(5, 5, partial, out, kLayoutRgba4444));
    EXPECT_EQ(out[0], 0xFFFF) << "first block: colour 0 and index 0 are there";
    EXPECT_EQ(out[4], 0x0000) << "blocks past the data are zero";
    EXPECT_EQ(out[24], 0x0000);

    std::vector<std::uint16_t> small(15);
    EXPECT_FALSE(DecodeBlockImage(4, 4, full, small, kLayoutRgba4444));
    std::vector<std::uint16_t> none;
    EXPECT_TRUE(DecodeBlockImage(0, 7, {}, none, kLayoutRgba4444));
    EXPECT_TRUE(DecodeBlockImage(1, 1, {}, std::span<std::uint16_t>(out.data(), 1), 0x4444));
    EXPECT_EQ(out[0], 0);
}

TEST(DecodeBlock, SingleBlockAtAnEdge) {
    const Block b = MakeBlock(255, 255, 0, 0xFFFF, 0, 0);
    std::vector<std::uint16_t> out(3 * 2, 0);
    DecodeBlock(b.data(), 0, 0, 3, 2, out.data(), kLayoutRgba4444);
    for (auto t : out) {
        EXPECT_EQ(t, 0xFFFF);
    }
}

}  // namespace
}  // namespace marrowix
