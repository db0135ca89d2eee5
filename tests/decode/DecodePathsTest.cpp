// Every decoding path this processor has against the scalar reference:
// random blocks on ragged sizes and cut data, and exhaustive sets of end
// points.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <random>
#include <string>
#include <tuple>

#include "compare/MeasureKernels.h"
#include "decode/Decode.h"
#include "platform/PathChoice.h"

namespace marrowix::test {
namespace {

// Runs the test body once per available vector path, restoring the path
// taken before.
class DecodePaths : public ::testing::Test {
protected:
    void TearDown() override { ForceDecodePath(m_before); }

    // The 16-bit texels (layout 0x4444), or with T 32 bits the 8-bit ones.
    template <class T = std::uint16_t>
    static std::vector<T> Decode(DecodePath path, std::uint32_t width, std::uint32_t height,
                                 const std::vector<std::uint8_t>& blocks) {
        EXPECT_TRUE(ForceDecodePath(path));
        std::vector<T> out(std::size_t{width} * height, static_cast<T>(0xA5A5A5A5u));
        if constexpr (sizeof(T) == 2) {
            EXPECT_TRUE(DecodeBlockImage(width, height, blocks, out, kLayoutRgba4444));
        } else {
            EXPECT_TRUE(DecodeBlockImage(width, height, blocks, std::span<std::uint32_t>(out)));
        }
        return out;
    }

    // Both precisions: every path gives the scalar path's texels.
    static void ExpectSameOnEveryPath(std::uint32_t width, std::uint32_t height,
                                      const std::vector<std::uint8_t>& blocks) {
        ExpectSameOnEveryPathOf<std::uint16_t>(width, height, blocks);
        ExpectSameOnEveryPathOf<std::uint32_t>(width, height, blocks);
    }

    template <class T>
    static void ExpectSameOnEveryPathOf(std::uint32_t width, std::uint32_t height,
                                        const std::vector<std::uint8_t>& blocks) {
        const auto reference = Decode<T>(DecodePath::kScalar, width, height, blocks);
        for (DecodePath path : AvailableDecodePaths()) {
            const auto out = Decode<T>(path, width, height, blocks);
            ASSERT_EQ(out.size(), reference.size());
            for (std::size_t i = 0; i < out.size(); ++i) {
                ASSERT_EQ(out[i], reference[i])
                    << DecodePathName(path) << " (" << 8 * sizeof(T) << "-bit texels): " << width
                    << " x " << height << ", texel " << i % width << ", " << i / width
                    << ", block data " << blocks.size();
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
    EXPECT_FALSE(ForceDecodePath(static_cast<DecodePath>(99)));
}

// The path a variable names where the processor runs it, else the fastest
// on the trial (the scalar path tried only when alone); a name that is no
// path here is told, with the names it could take.
TEST(PathChoice, TheNamedPathOrTheFastestOnTheTrial) {
    enum class P { kScalar, kA, kB, kC };
    const std::vector<P> all = {P::kScalar, P::kA, P::kB, P::kC};
    const auto name = [](P p) { return std::array{"scalar", "a", "b", "c"}[int(p)]; };
    // Microseconds each trial of a path takes: b is the fastest.
    const auto trial = [](P p) {
        const auto until = std::chrono::steady_clock::now() +
                           std::chrono::microseconds(std::array{0, 300, 50, 200}[int(p)]);
        while (std::chrono::steady_clock::now() < until) {
        }
    };
    struct Row {
        const char* wanted;
        std::vector<P> available;
        P path;
        const char* how;
        const char* complaint;  // what it holds, or "" for none
    };
    const std::vector<P> every = all;
    const std::vector<P> noC = {P::kScalar, P::kA, P::kB};
    const Row rows[] = {
        {nullptr, every, P::kB, "fastest on a trial of a, b, c", ""},
        {"", every, P::kB, "fastest on a trial of a, b, c", ""},
        {"c", every, P::kC, "named by VAR", ""},
        {"scalar", every, P::kScalar, "named by VAR", ""},
        {"sse41", every, P::kB, "fastest on a trial of a, b, c",
         "VAR=sse41 is not a path (the paths are scalar, a, b, c); this processor runs scalar, "
         "a, b, c, and the fastest of them is taken"},
        {"c", noC, P::kB, "fastest on a trial of a, b",
         "VAR=c is a path this processor cannot run; this processor runs scalar, a, b"},
        {nullptr, {P::kScalar}, P::kScalar, "the only path here", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.wanted == nullptr ? "(unset)" : row.wanted);
        const PathChoice<P> c = ChoosePath<P>("VAR", row.wanted, all, row.available, name, trial);
        EXPECT_EQ(c.path, row.path);
        EXPECT_EQ(c.how, row.how);
        EXPECT_NE(std::string(c.complaint).find(row.complaint), std::string::npos) << c.complaint;
        EXPECT_EQ(c.complaint.empty(), *row.complaint == '\0');
    }
    // This process's choices are paths the processor runs.
    const auto decode = AvailableDecodePaths();
    EXPECT_NE(std::find(decode.begin(), decode.end(), ActiveDecodePath()), decode.end());
    EXPECT_EQ(DescribeDecodePath().rfind(DecodePathName(ActiveDecodePath()), 0), 0u);
    const auto measure = AvailableMeasurePaths();
    EXPECT_NE(std::find(measure.begin(), measure.end(), ActiveMeasurePath()), measure.end());
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

// Texel k of a block at 8 bits a channel, 0xAARRGGBB, worked out from the
// format's formulas on their own: end points widened by
// (t + (t >> 5)) >> 5 with t = v * 255 + 16 (six bits: 32 and 6), the two
// thirds and the alpha sevenths or fifths truncated, four colours always.
std::uint32_t ModelTexel(const std::uint8_t* b, unsigned k) {
    const auto widen = [](std::uint32_t v, int bits) {
        const std::uint32_t t = v * 255 + (1u << (bits - 1));
        return (t + (t >> bits)) >> bits;
    };
    const std::uint32_t c[2] = {b[8] | (std::uint32_t{b[9]} << 8),
                                b[10] | (std::uint32_t{b[11]} << 8)};
    const unsigned ci = (b[12 + k / 4] >> (2 * (k % 4))) & 3;
    std::uint32_t texel = 0;
    for (const auto& [shift, bits, at] : {std::tuple{11, 5, 16}, {5, 6, 8}, {0, 5, 0}}) {
        const std::uint32_t e0 = widen((c[0] >> shift) & ((1u << bits) - 1), bits);
        const std::uint32_t e1 = widen((c[1] >> shift) & ((1u << bits) - 1), bits);
        const std::uint32_t v[4] = {e0, e1, (2 * e0 + e1) / 3, (e0 + 2 * e1) / 3};
        texel |= v[ci] << at;
    }
    std::uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) {
        bits |= std::uint64_t{b[2 + i]} << (8 * i);
    }
    const std::uint32_t ai = (bits >> (3 * k)) & 7;
    const std::uint32_t a0 = b[0];
    const std::uint32_t a1 = b[1];
    std::uint32_t alpha;
    if (ai < 2) {
        alpha = ai == 0 ? a0 : a1;
    } else if (a0 > a1) {
        alpha = ((8 - ai) * a0 + (ai - 1) * a1) / 7;
    } else {
        alpha = ai < 6 ? ((6 - ai) * a0 + (ai - 1) * a1) / 5 : (ai == 6 ? 0 : 255);
    }
    return texel | (alpha << 24);
}

TEST_F(DecodePaths, FullPrecisionFollowsTheFormulasAndNarrowsToTheNibbles) {
    std::mt19937 random(29);
    for (const auto& [width, height] : {std::pair{64u, 64u}, {13u, 7u}, {4u, 4u}, {1u, 9u}}) {
        const std::uint32_t across = (width + 3) / 4;
        const auto blocks = RandomBlocks(std::size_t{across} * ((height + 3) / 4), random);
        for (DecodePath path : AvailableDecodePaths()) {
            const auto full = Decode<std::uint32_t>(path, width, height, blocks);
            const auto nibbles = Decode<std::uint16_t>(path, width, height, blocks);
            for (std::uint32_t y = 0; y < height; ++y) {
                for (std::uint32_t x = 0; x < width; ++x) {
                    const std::uint8_t* block = &blocks[((y / 4) * across + x / 4) * kBlockBytes];
                    const std::uint32_t t = full[std::size_t{y} * width + x];
                    ASSERT_EQ(t, ModelTexel(block, (y % 4) * 4 + x % 4))
                        << DecodePathName(path) << " at " << x << ", " << y;
                    const std::uint32_t narrowed = ((t >> 20) & 15) << 12 | ((t >> 12) & 15) << 8 |
                                                   ((t >> 4) & 15) << 4 | t >> 28;
                    ASSERT_EQ(narrowed, nibbles[std::size_t{y} * width + x]);
                }
            }
        }
    }
    // Data cut short: the missing bytes are 0, as for the nibbles.
    const std::uint8_t zero[kBlockBytes] = {};
    const auto none = Decode<std::uint32_t>(DecodePath::kScalar, 5, 5, {});
    for (std::uint32_t t : none) {
        ASSERT_EQ(t, ModelTexel(zero, 0));
    }
    std::vector<std::uint32_t> small(3);
    EXPECT_FALSE(DecodeBlockImage(2, 2, {}, std::span<std::uint32_t>(small)));
}

}  // namespace
}  // namespace marrowix::test
