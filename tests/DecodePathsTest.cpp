// Every decoding path this processor has against the scalar reference:
// random blocks on ragged sizes and cut data, and exhaustive sets of end
// points.
#include <gtest/gtest.h>

#include <random>

#include "decode/Decode.h"

namespace marrowix::test {
namespace {

// Runs the test body once per available vector path, restoring the path
// taken before.
class DecodePaths : public ::testing::Test {
protected:
    void TearDown() override { ForceDecodePath(m_before); }

    static std::vector<std::uint16_t> Decode(DecodePath path, std::uint32_t width,
                                             std::uint32_t height,
                                             const std::vector<std::uint8_t>& blocks) {
        EXPECT_TRUE(ForceDecodePath(path));
        std::vector<std::uint16_t> out(std::size_t{width} * height, 0xA5A5);
        EXPECT_TRUE(DecodeBlockImage(width, height, blocks, out, kLayoutRgba4444));
        return out;
    }

    static void ExpectSameOnEveryPath(std::uint32_t width, std::uint32_t height,
                                      const std::vector<std::uint8_t>& blocks) {
        const auto reference = Decode(DecodePath::kScalar, width, height, blocks);
        for (DecodePath path : AvailableDecodePaths()) {
            const auto out = Decode(path, width, height, blocks);
            ASSERT_EQ(out.size(), reference.size());
            for (std::size_t i = 0; i < out.size(); ++i) {
                ASSERT_EQ(out[i], reference[i])
                    << DecodePathName(path) << ": " << width << " x " << height << ", texel "
                    << i % width << ", " << i / width << ", block data " << blocks.size();
            }
        }
    }

private:
    DecodePath m_before = ActiveDecodePath();
};

std::vector<std::uint8_t> RandomBlocks(std::size_t count, std::mt19937& random) {
    std::vector<std::uint8_t> bytes(count * kBlockBytes);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

TEST_F(DecodePaths, TheMachineHasTheVectorPaths) {
    // These machines have AVX-512; every path must be there to be tested.
    const auto paths = AvailableDecodePaths();
    EXPECT_EQ(paths.front(), DecodePath::kScalar);
    EXPECT_EQ(ActiveDecodePath(), paths.back());
    EXPECT_FALSE(ForceDecodePath(static_cast<DecodePath>(99)));
}

TEST_F(DecodePaths, RandomBlocksOnRaggedSizesAndCutData) {
    std::mt19937 random(17);
    for (std::uint32_t width : {1u, 3u, 4u, 5u, 8u, 12u, 13u, 16u, 17u, 31u, 64u, 70u}) {
        for (std::uint32_t height : {1u, 2u, 4u, 7u, 8u, 9u, 16u, 33u}) {
            const std::size_t count = std::size_t{(width + 3) / 4} * ((height + 3) / 4);
            auto blocks = RandomBlocks(count, random);
            ExpectSameOnEveryPath(width, height, blocks);
            // Data that ends inside a block, and data missing whole blocks.
            blocks.resize(blocks.size() - 1 - random() % blocks.size());
            ExpectSameOnEveryPath(width, height, blocks);
        }
    }
    auto large = RandomBlocks(256 * 256, random);
    ExpectSameOnEveryPath(1024, 1024, large);
}

TEST_F(DecodePaths, EveryPairOfAlphaEndPoints) {
    // One block per pair; texel k takes alpha index k mod 8, then the
    // pattern turned around.
    for (int pattern = 0; pattern < 2; ++pattern) {
        std::vector<std::uint8_t> blocks;
        for (std::uint32_t pair = 0; pair < 65536; ++pair) {
            std::uint8_t b[kBlockBytes] = {static_cast<std::uint8_t>(pair),
                                           static_cast<std::uint8_t>(pair >> 8)};
            std::uint64_t indices = 0;
            for (std::uint64_t k = 0; k < 16; ++k) {
                indices |= (pattern == 0 ? k % 8 : 7 - k % 8) << (3 * k);
            }
            for (int i = 0; i < 6; ++i) {
                b[2 + i] = static_cast<std::uint8_t>(indices >> (8 * i));
            }
            b[8] = static_cast<std::uint8_t>(pair * 7);
            b[11] = static_cast<std::uint8_t>(pair * 13);
            blocks.insert(blocks.end(), b, b + kBlockBytes);
        }
        ExpectSameOnEveryPath(1024, 256 * 4, blocks);
    }
}

TEST_F(DecodePaths, ColourEndPointsEqualZeroFullAndOneApart) {
    std::vector<std::uint8_t> blocks;
    for (std::uint32_t c0 = 0; c0 < 65536; ++c0) {
        for (std::uint32_t c1 : {c0, 0u, 0xFFFFu, (c0 + 1) & 0xFFFF, (c0 - 1) & 0xFFFF}) {
            std::uint8_t b[kBlockBytes] = {255, 0};
            b[8] = static_cast<std::uint8_t>(c0);
            b[9] = static_cast<std::uint8_t>(c0 >> 8);
            b[10] = static_cast<std::uint8_t>(c1);
            b[11] = static_cast<std::uint8_t>(c1 >> 8);
            // Texel k takes colour index k mod 4, every colour in every row.
            for (int i = 0; i < 4; ++i) {
                b[12 + i] = 0xE4;  // 3, 2, 1, 0 from the top bits down
            }
            blocks.insert(blocks.end(), b, b + kBlockBytes);
        }
    }
    ExpectSameOnEveryPath(2048, 640 * 4, blocks);
}

}  // namespace
}  // namespace marrowix::test
