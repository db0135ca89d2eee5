// The fast and normal qualities' blocks, content by content: every pixel on
// its nearest colour and alpha under this format's decoder, pixels beyond
// the image's edge on index 0, and each content shown at least as closely
// as a floor that a wrong fit (the axis lost for red against blue, the
// one-colour ends missed, a channel quantized a step off) falls below. The
// cluster fit's search finds the same end points on every path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "decode/Decode.h"
#include "repack/ClusterFit.h"
#include "repack/Encoders.h"

using namespace marrowix;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Content {
    const char* name;
    std::uint32_t width;
    std::uint32_t height;
    // The pixel at x, y as red, green, blue, alpha.
    std::array<std::uint8_t, 4> (*pixel)(std::uint32_t x, std::uint32_t y);
    double floorDb;  // RGB PSNR through our decoder
};

std::uint8_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t c) {
    return static_cast<std::uint8_t>((x * 73856093u ^ y * 19349663u ^ c * 83492791u) >> 11);
}

const Content kContents[] = {
    {"one grey no end point shows", 16, 16,
     [](auto, auto) {
         return std::array<std::uint8_t, 4>{128, 128, 128, 255};
     },
     50},
    {"one colour, translucent", 8, 8,
     [](auto, auto) {
         return std::array<std::uint8_t, 4>{200, 30, 90, 77};
     },
     45},
    {"smooth gradient", 64, 64,
     [](std::uint32_t x, std::uint32_t y) {
         return std::array<std::uint8_t, 4>{static_cast<std::uint8_t>(x * 4),
                                            static_cast<std::uint8_t>(y * 4), 100, 255};
     },
     38},
    {"two colours", 16, 16,
     [](std::uint32_t x, std::uint32_t y) {
         return (x + y) % 2 ? std::array<std::uint8_t, 4>{255, 0, 0, 255}
                            : std::array<std::uint8_t, 4>{0, 0, 255, 255};
     },
     40},
    {"noise", 32, 32,
     [](std::uint32_t x, std::uint32_t y) {
         return std::array<std::uint8_t, 4>{Hash(x, y, 0), Hash(x, y, 1), Hash(x, y, 2),
                                            Hash(x, y, 3)};
     },
     8},
    {"alpha 0 and 255 only, cut by the edge", 7, 5,
     [](std::uint32_t x, std::uint32_t y) {
         return std::array<std::uint8_t, 4>{40, 80, 120,
                                            static_cast<std::uint8_t>((x + y) % 3 ? 255 : 0)};
     },
     45},
};

// The squared error of each palette entry for one pixel, and the entry's
// values: what the decoder makes of the block's end points.
struct BlockPalette {
    std::uint32_t colour[4][3];
    std::uint32_t alpha[8];
    explicit BlockPalette(const std::uint8_t* b) {
        const std::uint32_t c0 = b[8] | b[9] << 8;
        const std::uint32_t c1 = b[10] | b[11] << 8;
        const std::uint32_t e0[3] = {Expand5(c0 >> 11), Expand6((c0 >> 5) & 63), Expand5(c0 & 31)};
        const std::uint32_t e1[3] = {Expand5(c1 >> 11), Expand6((c1 >> 5) & 63), Expand5(c1 & 31)};
        for (unsigned k = 0; k < 4; ++k) {
            for (int c = 0; c < 3; ++c) {
                colour[k][c] = PaletteChannel(e0[c], e1[c], k);
            }
        }
        for (std::uint32_t i = 0; i < 8; ++i) {
            alpha[i] = BlockAlpha(b[0], b[1], i);
        }
    }
};

int Square(int v) {
    return v * v;
}

}  // namespace

TEST(BlockFit, EveryPixelOnItsNearestEntryAndEachContentAboveItsFloor) {
    for (const auto& [content, quality] : [] {
             std::vector<std::pair<Content, DxtQuality>> rows;
             for (const Content& c : kContents) {
                 for (const DxtQuality q : {DxtQuality::kFast, DxtQuality::kNormal}) {
                     rows.emplace_back(c, q);
                 }
             }
             return rows;
         }()) {
        SCOPED_TRACE(std::string(content.name) + " " + DxtQualityName(quality));
        Bytes rgba;
        for (std::uint32_t y = 0; y < content.height; ++y) {
            for (std::uint32_t x = 0; x < content.width; ++x) {
                const auto p = content.pixel(x, y);
                rgba.insert(rgba.end(), p.begin(), p.end());
            }
        }
        const Bytes blocks = EncodeDxt5(rgba, content.width, content.height, quality);
        const std::uint32_t across = (content.width + 3) / 4;
        double squares = 0;
        for (std::size_t b = 0; b * 16 < blocks.size(); ++b) {
            const std::uint8_t* block = blocks.data() + b * 16;
            const BlockPalette palette(block);
            const Dxt5Block fields = Dxt5Block::Read(block);
            for (unsigned k = 0; k < 16; ++k) {
                const std::uint32_t x = static_cast<std::uint32_t>(b % across) * 4 + k % 4;
                const std::uint32_t y = static_cast<std::uint32_t>(b / across) * 4 + k / 4;
                if (x >= content.width || y >= content.height) {
                    EXPECT_EQ(fields.ColourIndex(k), 0u);
                    EXPECT_EQ(fields.AlphaIndex(k), 0u);
                    continue;
                }
                const std::uint8_t* p = rgba.data() + (std::size_t{y} * content.width + x) * 4;
                auto colourError = [&](unsigned i) {
                    return Square(p[0] - int(palette.colour[i][0])) +
                           Square(p[1] - int(palette.colour[i][1])) +
                           Square(p[2] - int(palette.colour[i][2]));
                };
                int nearest = 1 << 30;
                for (unsigned i = 0; i < 4; ++i) {
                    nearest = std::min(nearest, colourError(i));
                }
                const int chosen = colourError(fields.ColourIndex(k));
                EXPECT_EQ(chosen, nearest) << "pixel " << x << ", " << y;
                int nearestAlpha = 1 << 30;
                for (const std::uint32_t a : palette.alpha) {
                    nearestAlpha = std::min(nearestAlpha, std::abs(p[3] - int(a)));
                }
                EXPECT_EQ(std::abs(p[3] - int(palette.alpha[fields.AlphaIndex(k)])), nearestAlpha);
                squares += chosen;
            }
        }
        const double mse = squares / (3.0 * content.width * content.height);
        const double psnr = mse == 0 ? 99 : 10 * std::log10(255.0 * 255 / mse);
        EXPECT_GE(psnr, content.floorDb);
    }
}

// Blocks of noise, of a few colours and of smooth ramps, some cut by the
// image's edge or translucent: every path's normal fit byte for byte the
// scalar one's.
TEST(BlockFit, EveryFitPathAgreesWithTheScalarOne) {
    std::mt19937 random(17);
    std::vector<std::array<std::uint8_t, 64>> pixels(3000);
    std::vector<int> masks;
    for (std::size_t b = 0; b < pixels.size(); ++b) {
        const int kind = static_cast<int>(b % 3);
        std::uint8_t few[4][3];
        for (auto& c : few) {
            for (auto& v : c) {
                v = static_cast<std::uint8_t>(random());
            }
        }
        for (int i = 0; i < 16; ++i) {
            for (int c = 0; c < 4; ++c) {
                pixels[b][4 * i + c] =
                    kind == 0   ? static_cast<std::uint8_t>(random())
                    : kind == 1 ? (c == 3 ? 255 : few[random() % 4][c])
                                : static_cast<std::uint8_t>(few[0][c % 3] / 2 + i * (c + 1));
            }
        }
        masks.push_back(b % 7 == 0 ? static_cast<int>(random() % 0xFFFF) + 1 : 0xFFFF);
    }
    ASSERT_TRUE(ForceFitPath(FitPath::kScalar));
    std::vector<std::array<std::uint8_t, 16>> want(pixels.size());
    for (std::size_t b = 0; b < pixels.size(); ++b) {
        FitBlockNormal(pixels[b].data(), masks[b], want[b].data());
    }
    for (const FitPath path : AvailableFitPaths()) {
        ASSERT_TRUE(ForceFitPath(path));
        for (std::size_t b = 0; b < pixels.size(); ++b) {
            std::array<std::uint8_t, 16> got{};
            FitBlockNormal(pixels[b].data(), masks[b], got.data());
            ASSERT_EQ(got, want[b]) << FitPathName(path) << " block " << b;
        }
    }
    const std::vector<FitPath> paths = AvailableFitPaths();
    if (std::find(paths.begin(), paths.end(), FitPath::kAvx2) == paths.end()) {
        std::printf("fit path not run on this processor: avx2\n");
    }
    ForceFitPath(paths.back());
}
