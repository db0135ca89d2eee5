// Images at 8 bits a channel: each nibble widened exactly, or for "dxt" the
// full precision of its blocks; in the core and from the command line.
#include <gtest/gtest.h>

#include <png.h>

#include <cstring>
#include <random>

#include "decode/Decode.h"
#include "imagefiles/ImageFiles.h"
#include "tests/TestFiles.h"
#include "tests/inspect/RunInspect.h"
#include "textureset/PreviewImage.h"

namespace marrowix::test {
namespace {

namespace fs = std::filesystem;

// One "dxt" texture of 8 x 4 texels: its first block all 0, its second red
// to blue with falling alpha, so that full precision and nibbles differ.
fs::path GradientSet(const TempDir& dir) {
    SetFiles files;
    files.listing = "\"grad\" width=8 height=4\n";
    files.table = Le32({0});
    files.data = std::vector<std::uint8_t>(8 + 16, 0);
    const std::vector<std::uint8_t> block = {255,  0,    0x00, 0x80, 0x03, 0,    0, 0,
                                             0x00, 0xF8, 0x1F, 0x00, 0x00, 0x08, 0, 0};
    files.data.insert(files.data.end(), block.begin(), block.end());
    return WriteSet(dir, files);
}

// The pixels of a PNG file, top row first, four bytes each: RGBA.
std::vector<std::uint8_t> PngPixels(const fs::path& path) {
    const auto bytes = ReadBytes(path);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        return {};
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
    return pixels;
}

// Pixel (x, y) of an image block, as 0xAARRGGBB.
std::uint32_t DibPixel(const Buffer<std::uint8_t>& dib, std::uint32_t x, std::uint32_t y) {
    const BITMAPINFOHEADER h = ReadDibHeader(dib);
    const std::uint8_t* p = dib.data() + kDibHeaderSize +
                            (std::size_t(h.biHeight - 1 - y) * std::size_t(h.biWidth) + x) * 4;
    return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t{p[3]} << 24;
}

TEST(Precision, ImagesWidenNibblesExactlyOrKeepTheBlocksPrecision) {
    TempDir dir;
    const auto set = OpenSet(GradientSet(dir), "dxt");
    const auto preview = BuildPreviewDib(*set, 0);
    const auto nibbles = BuildImageDib(*set, 0, Precision::kNibbles);
    const auto full = BuildImageDib(*set, 0, Precision::kFull);
    ASSERT_TRUE(preview.ok() && nibbles.ok() && full.ok());
    ASSERT_EQ(nibbles.value.size(), preview.value.size());
    ASSERT_EQ(full.value.size(), preview.value.size());
    for (std::size_t i = 0; i < preview.value.size(); ++i) {
        // Each nibble n: n x 16 in the preview, n x 17 in the exact image.
        const std::uint8_t b = preview.value[i];
        ASSERT_EQ(nibbles.value[i], i < kDibHeaderSize ? b : (b >> 4) * 17) << i;
        // Full precision narrows to the same nibbles.
        ASSERT_EQ(i < kDibHeaderSize ? full.value[i] : full.value[i] & 0xF0, b) << i;
    }
    // Texel (5, 1): two thirds red, one third blue, alpha 255 / 7.
    EXPECT_EQ(DibPixel(full.value, 5, 1), 0x24AA0055u);
    EXPECT_EQ(DibPixel(nibbles.value, 5, 1), 0x22AA0055u);
    EXPECT_EQ(DibPixel(full.value, 0, 0), 0u);

    // "etc" has no more precision than its nibbles.
    TempDir etcDir;
    SetFiles files;
    files.mode = "etc";
    files.listing = "\"t\" width=2 height=1\n";
    files.table = Le32({0});
    files.data = {0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0x34, 0x12};
    const auto etc = OpenSet(WriteSet(etcDir, files), "etc");
    const auto etcFull = BuildImageDib(*etc, 0, Precision::kFull);
    ASSERT_TRUE(etcFull.ok());
    EXPECT_EQ(etcFull.value, BuildImageDib(*etc, 0, Precision::kNibbles).value);
    EXPECT_EQ(DibPixel(etcFull.value, 0, 0), 0xFFFFFFFFu);  // white, opaque
    EXPECT_EQ(DibPixel(etcFull.value, 1, 0), 0x44112233u);
    EXPECT_FALSE(BuildImageDib(*etc, 1, Precision::kFull).ok());
}

TEST(Precision, DepthOfPngExportsFromTheCommandLine) {
    TempDir dir;
    const std::string listing = GradientSet(dir).string();
    const auto eight = dir / "eight.png";
    const auto four = dir / "four.png";
    Outcome o =
        Inspect(dir, {"--export", "0", "--output", eight.string(), "--depth", "8", listing});
    ASSERT_EQ(o.code, 0) << o.err;
    o = Inspect(dir, {"--export", "0", "--output", four.string(), listing});
    ASSERT_EQ(o.code, 0) << o.err;
    const auto full = PngPixels(eight);
    const auto exact = PngPixels(four);
    ASSERT_EQ(full.size(), 8u * 4 * 4);
    const std::size_t at = (1 * 8 + 5) * 4;
    EXPECT_EQ(std::vector<std::uint8_t>(full.begin() + at, full.begin() + at + 4),
              (std::vector<std::uint8_t>{170, 0, 85, 36}));
    EXPECT_EQ(std::vector<std::uint8_t>(exact.begin() + at, exact.begin() + at + 4),
              (std::vector<std::uint8_t>{0xAA, 0, 0x55, 0x22}));

    const fs::path all = dir / "all";
    o = Inspect(dir, {"--export-all", all.string(), "--depth", "8", listing});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(ReadBytes(all / "grad.png"), ReadBytes(eight));
    o = Inspect(dir, {"--texel", "0", "5", "1", listing});
    EXPECT_NE(o.out.find("\"rgba8\":[170,0,85,36]"), std::string::npos) << o.out;

    // Usage errors: a BMP holds nibbles only; --depth goes with images.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--export", "0", "--output", (dir / "x.bmp").string(), "--depth", "8", listing},
             {"--export-all", all.string(), "--format", "bmp", "--depth", "8", listing},
             {"--texel", "0", "0", "0", "--depth", "8", listing},
             {"--export", "0", "--output", eight.string(), "--depth", "6", listing},
             {"--depth", "4", listing}}) {
        o = Inspect(dir, args);
        EXPECT_EQ(o.code, 2) << args[args.size() - 2];
        EXPECT_NE(o.err.find("--depth"), std::string::npos) << o.err;
    }
    o = Inspect(dir,
                {"--export", "0", "--output", (dir / "x.bmp").string(), "--depth", "8", listing});
    EXPECT_NE(o.err.find("a BMP file holds the preview block"), std::string::npos) << o.err;
    EXPECT_EQ(Inspect(dir, {"--export", "0", "--output", (dir / "x.bmp").string(), "--depth", "4",
                            listing})
                  .code,
              0);
}

// PNG files are compressed in parts on all cores and joined into one
// stream: libpng reads back every pixel, whatever the number of parts.
TEST(Precision, PngFilesReadBackPixelForPixel) {
    TempDir dir;
    std::mt19937 random(5);
    for (const auto& [width, height] : {std::pair{300, 257}, {1, 1}, {7, 33}, {1000, 3}}) {
        Buffer<std::uint8_t> dib = PreviewBlock(width, height);
        for (std::size_t i = kDibHeaderSize; i < dib.size(); ++i) {
            // Smooth in places, noisy in others, so that both kinds of block occur.
            dib[i] = static_cast<std::uint8_t>((i / 4096) % 2 ? random() : i / 512);
        }
        const auto path = dir / "round.png";
        ASSERT_EQ(WritePngFile(path.string(), dib), "");
        const auto pixels = PngPixels(path);
        ASSERT_EQ(pixels.size(), std::size_t(width) * height * 4) << width << " x " << height;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* bgra =
                    dib.data() + kDibHeaderSize + (std::size_t(height - 1 - y) * width + x) * 4;
                const std::uint8_t* rgba = &pixels[(std::size_t(y) * width + x) * 4];
                ASSERT_TRUE(rgba[0] == bgra[2] && rgba[1] == bgra[1] && rgba[2] == bgra[0] &&
                            rgba[3] == bgra[3])
                    << width << " x " << height << " at " << x << ", " << y;
            }
        }
    }
}

}  // namespace
}  // namespace marrowix::test
