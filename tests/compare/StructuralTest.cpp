// SSIM of luma and PSNR of premultiplied colour against a direct
// computation in double precision, over image pairs that cross the tiles
// the measuring reads and that are smaller than its window.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "compare/Compare.h"
#include "tests/TestFiles.h"

namespace marrowix::test {
namespace {

std::unique_ptr<CTextureSet> EtcTexture(const TempDir& dir, std::uint32_t width,
                                        std::uint32_t height,
                                        const std::vector<std::uint16_t>& texels) {
    SetFiles files;
    files.mode = "etc";
    files.listing =
        "\"t\" width=" + std::to_string(width) + " height=" + std::to_string(height) + "\n";
    files.table = Le32({0});
    files.data.assign(8, 0);
    for (const std::uint16_t t : texels) {
        files.data.push_back(std::uint8_t(t));
        files.data.push_back(std::uint8_t(t >> 8));
    }
    return OpenSet(WriteSet(dir, files), "etc");
}

// The window's weights along a side of `size` texels.
std::vector<double> Weights(std::uint32_t size) {
    const int n = int(std::min<std::uint32_t>(size, 11));
    std::vector<double> w(n);
    double sum = 0;
    for (int i = 0; i < n; ++i) {
        const double d = i + (11 - n) / 2 - 5.0;
        sum += w[i] = std::exp(-d * d / 4.5);
    }
    for (double& v : w) {
        v /= sum;
    }
    return w;
}

double Luma(std::uint16_t t) {
    const std::uint32_t p = WidenTexel(t);
    return 0.2126 * ((p >> 16) & 255) + 0.7152 * ((p >> 8) & 255) + 0.0722 * (p & 255);
}

double DirectSsim(const std::vector<std::uint16_t>& a, const std::vector<std::uint16_t>& b,
                  std::uint32_t width, std::uint32_t height) {
    const std::vector<double> wx = Weights(width);
    const std::vector<double> wy = Weights(height);
    const double c1 = std::pow(0.01 * 255, 2);
    const double c2 = std::pow(0.03 * 255, 2);
    double sum = 0;
    std::size_t count = 0;
    for (std::uint32_t y = 0; y + wy.size() <= height; ++y) {
        for (std::uint32_t x = 0; x + wx.size() <= width; ++x) {
            double mx = 0, my = 0, xx = 0, yy = 0, xy = 0;
            for (std::size_t j = 0; j < wy.size(); ++j) {
                for (std::size_t i = 0; i < wx.size(); ++i) {
                    const std::size_t at = (y + j) * width + x + i;
                    const double w = wx[i] * wy[j];
                    const double la = Luma(a[at]);
                    const double lb = Luma(b[at]);
                    mx += w * la;
                    my += w * lb;
                    xx += w * la * la;
                    yy += w * lb * lb;
                    xy += w * la * lb;
                }
            }
            const double vx = xx - mx * mx;
            const double vy = yy - my * my;
            const double cov = xy - mx * my;
            sum +=
                ((2 * mx * my + c1) * (2 * cov + c2)) / ((mx * mx + my * my + c1) * (vx + vy + c2));
            ++count;
        }
    }
    return sum / double(count);
}

double DirectPremultipliedPsnr(const std::vector<std::uint16_t>& a,
                               const std::vector<std::uint16_t>& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const std::uint32_t pa = WidenTexel(a[i]);
        const std::uint32_t pb = WidenTexel(b[i]);
        for (const int shift : {16, 8, 0}) {
            const double d = ((pa >> shift) & 255) * (pa >> 24) / 255.0 -
                             ((pb >> shift) & 255) * (pb >> 24) / 255.0;
            sum += d * d;
        }
    }
    return 10 * std::log10(255.0 * 255 / (sum / (3.0 * double(a.size()))));
}

TEST(Structural, SsimAndPremultipliedPsnrAgreeWithADirectComputation) {
    struct Row {
        std::uint32_t width;
        std::uint32_t height;
        int noise;          // added to each nibble of the second image, at most
        bool transparent;   // the first image's alpha varies
        bool flat = false;  // one value everywhere in the first image
    };
    const Row rows[] = {
        {300, 140, 0, false},  // identical: 1
        {300, 140, 2, true},   // across tiles of 128 outputs
        {13, 5, 3, false},     // lower than the window
        {2, 2, 15, true},         {40, 40, 1, true},
        {3, 3000, 2, true},        // tall and narrow: measured transposed
        {64, 64, 0, false, true},  // flat and identical: exactly 1
        {64, 64, 1, false, true},  // flat and apart: single precision once gave above 1
        {200, 30, 2, true, true},
    };
    std::mt19937 random(21);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.width) + " x " + std::to_string(row.height));
        std::vector<std::uint16_t> a(std::size_t(row.width) * row.height);
        for (std::size_t i = 0; i < a.size(); ++i) {
            // A smooth picture, so that the windows see structure.
            const std::uint32_t x = std::uint32_t(i % row.width);
            const std::uint32_t y = std::uint32_t(i / row.width);
            const std::uint16_t r = (x * 15 / row.width) & 15;
            const std::uint16_t g = (y * 15 / row.height) & 15;
            const std::uint16_t b = ((x + y) / 7) & 15;
            const std::uint16_t al = row.transparent ? (x * 3 + y) & 15 : 15;
            a[i] = row.flat ? std::uint16_t(0xC83F) : std::uint16_t(r << 12 | g << 8 | b << 4 | al);
        }
        std::vector<std::uint16_t> b = a;
        if (row.flat) {
            // Flat too, each nibble `noise` higher.
            std::fill(b.begin(), b.end(), std::uint16_t(a[0] + row.noise * 0x1110));
        }
        for (std::uint16_t& t : b) {
            if (row.flat) {
                break;
            }
            for (int shift = 4; shift < 16 && row.noise > 0; shift += 4) {
                const int v = ((t >> shift) & 15) + int(random() % (2 * row.noise + 1)) - row.noise;
                t = std::uint16_t((t & ~(15 << shift)) | (std::clamp(v, 0, 15) << shift));
            }
        }
        TempDir da;
        TempDir db;
        const auto sa = EtcTexture(da, row.width, row.height, a);
        const auto sb = EtcTexture(db, row.width, row.height, b);
        const EntryComparison got = CompareEntries(*sa, 0, *sb, 0);
        ASSERT_EQ(got.skipped, "");
        if (row.noise == 0) {
            EXPECT_EQ(got.measures.ssim, 1.0);
            EXPECT_TRUE(std::isinf(got.measures.RgbPremultipliedPsnr()));
            continue;
        }
        EXPECT_NEAR(got.measures.ssim, DirectSsim(a, b, row.width, row.height), 2e-5);
        EXPECT_LE(got.measures.ssim, 1.0);
        EXPECT_NEAR(got.measures.RgbPremultipliedPsnr(), DirectPremultipliedPsnr(a, b), 1e-6);
        EXPECT_EQ(got.measures.hasAlpha, row.transparent && !row.flat);
    }
}

}  // namespace
}  // namespace marrowix::test
