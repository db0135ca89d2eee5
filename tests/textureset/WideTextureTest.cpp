// Textures of hostile shapes: what is read, exported and measured a piece
// at a time equals what whole images give, and a texture of 64 million
// texels in one row is exported, compared and made a thumbnail of within a
// small address space.
#include <gtest/gtest.h>

#include <random>

#include "compare/Compare.h"
#include "decode/Decode.h"
#include "imagefiles/ImageFiles.h"
#include "tests/TestFiles.h"
#include "tests/inspect/RunInspect.h"
#include "textureset/PreviewImage.h"
#include "thumbnails/Thumbnail.h"

namespace marrowix::test {
namespace {

namespace fs = std::filesystem;

// One texture in both encodings beside world.txt: random data, each data
// file cut to `keep` of the entry's bytes (1: all of them).
fs::path BothEncodings(const TempDir& dir, std::uint32_t width, std::uint32_t height, double keep) {
    WriteText(dir / "world.txt",
              "\"t\" width=" + std::to_string(width) + " height=" + std::to_string(height) + "\n");
    std::mt19937 random(width * 31 + height);
    for (const std::string mode : {"dxt", "etc"}) {
        const std::uint64_t bytes =
            EntryDataSize(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height),
                          mode == "dxt" ? kModeDxt : kModeEtc);
        std::vector<std::uint8_t> data(8 + static_cast<std::size_t>(double(bytes) * keep));
        for (std::uint8_t& b : data) {
            b = static_cast<std::uint8_t>(random());
        }
        WriteBytes(dir / ("world." + mode + ".toc"), Le32({0}));
        WriteBytes(dir / ("world." + mode + ".dat"), data);
    }
    return dir / "world.txt";
}

// Wider than a piece of 65536 pixels, rows longer than a PNG part (1 Mi
// pixels, so parts start inside rows), taller than a band, odd sizes, data
// ending early.
struct Shape {
    std::uint32_t width;
    std::uint32_t height;
    double keep;
};
constexpr Shape kShapes[] = {{70001, 5, 1},  {3, 40001, 1}, {1, 70000, 0.6},
                             {129, 67, 0.5}, {5, 7, 1},     {1100001, 3, 1}};

TEST(WideTextures, PiecesGiveWhatWholeImagesGive) {
    for (const Shape& shape : kShapes) {
        TempDir dir;
        const fs::path listing = BothEncodings(dir, shape.width, shape.height, shape.keep);
        const std::string what = std::to_string(shape.width) + " x " +
                                 std::to_string(shape.height) + " keep " +
                                 std::to_string(shape.keep);
        const auto dxt = OpenSet(listing, "dxt");
        const auto etc = OpenSet(listing, "etc");
        // Exports streamed from the data file equal exports of the built image.
        for (const CTextureSet* set : {dxt.get(), etc.get()}) {
            struct Kind {
                ImageFormat format;
                Precision precision;
            };
            for (const Kind k : {Kind{ImageFormat::kBmp, Precision::kNibbles},
                                 Kind{ImageFormat::kPng, Precision::kNibbles},
                                 Kind{ImageFormat::kPng, Precision::kFull}}) {
                const std::string streamed = (dir / "streamed").string();
                const std::string built = (dir / "built").string();
                ASSERT_EQ(ExportEntryImage(streamed, *set, 0, k.format, k.precision), "") << what;
                const auto image = BuildFileImage(*set, 0, k.format, k.precision);
                ASSERT_TRUE(image.ok()) << what;
                ASSERT_EQ(WriteImageFile(built, k.format, image.value), "") << what;
                EXPECT_TRUE(ReadBytes(streamed) == ReadBytes(built))
                    << what << (set->GetMode() == kModeDxt ? " dxt" : " etc")
                    << (k.format == ImageFormat::kBmp ? " bmp" : " png")
                    << (k.precision == Precision::kFull ? " 8-bit" : " 4-bit");
            }
        }
        // The comparison's tiles cover every texel once: its sums are those
        // of the two whole images.
        const EntryComparison tiled = CompareEntries(*dxt, 0, *etc, 0);
        if (shape.keep < 1) {
            EXPECT_FALSE(tiled.skipped.empty()) << what;
            continue;
        }
        ASSERT_EQ(tiled.skipped, "") << what;
        const auto a = BuildImageDib(*dxt, 0, Precision::kFull);
        const auto b = BuildImageDib(*etc, 0, Precision::kFull);
        MeasureSums whole;
        whole.Add(reinterpret_cast<const std::uint32_t*>(a.value.data() + kDibHeaderSize),
                  reinterpret_cast<const std::uint32_t*>(b.value.data() + kDibHeaderSize),
                  std::size_t{shape.width} * shape.height);
        const Measures expected = whole.Result();
        EXPECT_EQ(tiled.measures.mse, expected.mse) << what;
        EXPECT_EQ(tiled.measures.differing, expected.differing) << what;
        EXPECT_EQ(tiled.measures.maxDiff, expected.maxDiff) << what;
    }
}

#if !defined(MARROWIX_ASAN)
// 64 Mi texels in one row, on sparse files: the image alone would take
// 256 MiB at 8 bits, more than the whole address space the programs get.
TEST(WideTextures, ARowOf64MillionTexelsInASmallAddressSpace) {
    TempDir dir;
    constexpr std::uint32_t kWidth = 1u << 26;
    WriteText(dir / "world.txt", "\"wide\" width=" + std::to_string(kWidth) + " height=1\n");
    for (const std::string mode : {"dxt", "etc"}) {
        WriteBytes(dir / ("world." + mode + ".toc"), Le32({0}));
        WriteBytes(dir / ("world." + mode + ".dat"), {});
        fs::resize_file(dir / ("world." + mode + ".dat"),
                        8 + EntryDataSize(kWidth, 1, mode == "dxt" ? kModeDxt : kModeEtc));
    }
    const std::string listing = (dir / "world.txt").string();
    constexpr std::uint64_t kLimit = std::uint64_t{200} << 20;
    const std::vector<std::vector<std::string>> commands = {
        {"--export", "0", "--output", (dir / "wide.png").string()},
        {"--compare", "--fail-below", "100"},
        {"--mode", "etc", "--contact-sheet", (dir / "sheet.png").string()},
    };
    for (std::vector<std::string> args : commands) {
        args.push_back(listing);
        const Outcome o = Inspect(dir, args, {}, false, kLimit);
        EXPECT_EQ(o.code, 0) << args[0] << ": " << o.err;
    }
    const auto set = OpenSet(dir / "world.txt", "dxt");
    const auto thumbnail = MakeThumbnail(*set, 0, 256, Precision::kFull);
    ASSERT_TRUE(thumbnail.ok()) << thumbnail.error;
    EXPECT_LE(thumbnail.value.bytesRead, 64u << 10);
}
#endif

}  // namespace
}  // namespace marrowix::test
