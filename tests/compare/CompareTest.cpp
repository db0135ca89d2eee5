// Comparison: the measures against a direct computation, pairing by name,
// and --compare / --compare-with end to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <thread>

#include "compare/Compare.h"
#include "compare/DifferenceImage.h"
#include "compare/MeasureKernels.h"
#include "tests/TestFiles.h"
#include "tests/inspect/RunInspect.h"
#include "tools/SampleSet.h"

namespace marrowix::test {
namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// An "etc" set in `dir` named `name`: the listing given, each texture's
// texels one after another (offset table entries for category lines too).
struct EtcTexture {
    std::string line;  // the listing line
    std::vector<std::uint16_t> texels;
};
std::filesystem::path EtcSet(const TempDir& dir, const std::string& name,
                             const std::vector<std::string>& categories,
                             const std::vector<EtcTexture>& textures) {
    std::string listing;
    std::vector<std::uint8_t> table;
    std::vector<std::uint8_t> data;
    for (const std::string& c : categories) {
        listing += c + "\n";
        const auto zero = Le32({0});
        table.insert(table.end(), zero.begin(), zero.end());
    }
    for (const EtcTexture& t : textures) {
        listing += t.line + "\n";
        const auto offset = Le32({static_cast<std::uint32_t>(data.size())});
        table.insert(table.end(), offset.begin(), offset.end());
        data.insert(data.end(), 8, 0);
        for (std::uint16_t v : t.texels) {
            data.push_back(static_cast<std::uint8_t>(v));
            data.push_back(static_cast<std::uint8_t>(v >> 8));
        }
    }
    WriteText(dir / (name + ".txt"), listing);
    WriteBytes(dir / (name + ".etc.toc"), table);
    WriteBytes(dir / (name + ".etc.dat"), data);
    return dir / (name + ".txt");
}

// The MSE of one channel (nibble shift in the RGBA4444 texel) computed
// directly at 8 bits, n x 17.
double DirectMse(const std::vector<std::uint16_t>& a, const std::vector<std::uint16_t>& b,
                 int shift) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double d = ((a[i] >> shift) & 15) * 17.0 - ((b[i] >> shift) & 15) * 17.0;
        sum += d * d;
    }
    return sum / double(a.size());
}

TEST(Compare, MeasuresMatchADirectComputation) {
    TempDir dir;
    const std::vector<std::uint16_t> base = {0xF00F, 0x0F0F, 0x00FF, 0x123F,
                                             0x456F, 0x789F, 0xABCF, 0xDEFF};
    std::vector<std::uint16_t> changed = base;
    changed[1] = 0x1F0F;  // red +1 nibble
    changed[6] = 0xAB0F;  // blue -12 nibbles
    std::vector<std::uint16_t> alphaOnly = base;
    alphaOnly[3] = 0x1230;  // alpha 15 -> 0
    const auto a = OpenSet(EtcSet(dir, "a", {}, {{"\"t\" width=4 height=2", base}}), "etc");
    const auto b = OpenSet(EtcSet(dir, "b", {}, {{"\"t\" width=4 height=2", changed}}), "etc");
    const auto c = OpenSet(EtcSet(dir, "c", {}, {{"\"t\" width=4 height=2", alphaOnly}}), "etc");

    const EntryComparison same = CompareEntries(*a, 0, *a, 0);
    ASSERT_EQ(same.skipped, "");
    EXPECT_TRUE(std::isinf(same.measures.RgbPsnr()));
    EXPECT_TRUE(std::isinf(same.measures.Psnr(kAlpha)));
    EXPECT_EQ(same.measures.differing, 0u);

    const EntryComparison diff = CompareEntries(*a, 0, *b, 0);
    ASSERT_EQ(diff.skipped, "");
    const double mseR = DirectMse(base, changed, 12);
    const double mseB = DirectMse(base, changed, 4);
    EXPECT_DOUBLE_EQ(diff.measures.mse[kRed], mseR);
    EXPECT_DOUBLE_EQ(diff.measures.mse[kBlue], mseB);
    EXPECT_DOUBLE_EQ(diff.measures.Psnr(kRed), 10 * std::log10(255.0 * 255 / mseR));
    EXPECT_DOUBLE_EQ(diff.measures.RgbPsnr(), 10 * std::log10(255.0 * 255 / ((mseR + mseB) / 3)));
    EXPECT_TRUE(std::isinf(diff.measures.Psnr(kGreen)));
    EXPECT_EQ(diff.measures.maxDiff[kRed], 17);
    EXPECT_EQ(diff.measures.maxDiff[kBlue], 12 * 17);
    EXPECT_EQ(diff.measures.differing, 2u);
    EXPECT_EQ(diff.measures.texels, 8u);

    // Alpha alone differs: RGB is perfect, alpha is not, and it is counted.
    const EntryComparison alpha = CompareEntries(*a, 0, *c, 0);
    EXPECT_TRUE(std::isinf(alpha.measures.RgbPsnr()));
    EXPECT_DOUBLE_EQ(alpha.measures.mse[kAlpha], 255.0 * 255 / 8);
    EXPECT_NEAR(alpha.measures.Psnr(kAlpha), 9.03, 0.01);
    EXPECT_EQ(alpha.measures.differing, 1u);
}

// Every measuring path the processor has against the scalar reference, on
// random images of lengths that are no multiple of the vector width, for
// 8-bit images and for RGBA4444 texels widened as measured.
TEST(Compare, EveryMeasurePathMatchesTheReference) {
    std::mt19937 random(99);
    for (std::size_t n : {std::size_t{1}, std::size_t{7}, std::size_t{8}, std::size_t{17},
                          std::size_t{1001}, kKernelTexels, kKernelTexels * 2 + 5}) {
        std::vector<std::uint32_t> a(n);
        std::vector<std::uint32_t> b(n);
        std::vector<std::uint16_t> nibbles(n);
        for (std::size_t i = 0; i < n; ++i) {
            a[i] = random();
            // Close to a, with some texels equal and some far off.
            b[i] = i % 5 == 0 ? a[i] : i % 7 == 0 ? ~a[i] : a[i] ^ (random() & 0x0F0F0F0F);
            nibbles[i] = static_cast<std::uint16_t>(random());
        }
        ASSERT_TRUE(ForceMeasurePath(MeasurePath::kScalar));
        MeasureSums reference;
        reference.Add(a.data(), b.data(), n);
        MeasureSums referenceNibbles;
        referenceNibbles.Add(nibbles.data(), b.data(), n);
        for (MeasurePath path : AvailableMeasurePaths()) {
            ASSERT_TRUE(ForceMeasurePath(path));
            MeasureSums sums;
            sums.Add(a.data(), b.data(), n);
            MeasureSums sumsNibbles;
            sumsNibbles.Add(nibbles.data(), b.data(), n);
            for (auto [got, want] : {std::pair{sums.Result(), reference.Result()},
                                     std::pair{sumsNibbles.Result(), referenceNibbles.Result()}}) {
                EXPECT_EQ(got.mse, want.mse) << MeasurePathName(path) << " n " << n;
                EXPECT_EQ(got.maxDiff, want.maxDiff) << MeasurePathName(path);
                EXPECT_EQ(got.differing, want.differing) << MeasurePathName(path);
            }
        }
    }
    for (MeasurePath path : {MeasurePath::kAvx2, MeasurePath::kAvx512}) {
        const std::vector<MeasurePath> paths = AvailableMeasurePaths();
        if (std::find(paths.begin(), paths.end(), path) == paths.end()) {
            std::printf("measure path not run on this processor: %s\n", MeasurePathName(path));
        }
    }
    ForceMeasurePath(AvailableMeasurePaths().back());
}

// The difference view's image: the vector code against the scalar code on
// every pair of byte values and on random rows (lengths not a multiple of
// the vector's), and the scalar code against a few values worked by hand.
TEST(Compare, TheDifferenceImageMatchesItsReference) {
    std::vector<std::uint8_t> a(65536 * 4 + 12);
    std::vector<std::uint8_t> b(a.size());
    for (std::size_t i = 0; i < 65536; ++i) {  // every pair, in each channel
        for (int c = 0; c < 4; ++c) {
            a[i * 4 + c] = static_cast<std::uint8_t>(i >> 8);
            b[i * 4 + c] = static_cast<std::uint8_t>(i + c * 37);
        }
    }
    std::mt19937 random(7);
    for (std::size_t i = 65536 * 4; i < a.size(); ++i) {
        a[i] = static_cast<std::uint8_t>(random());
        b[i] = static_cast<std::uint8_t>(random());
    }
    struct Row {
        int scale;
        int threshold;
    };
    for (const Row row : {Row{1, 0}, Row{2, 0}, Row{16, 0}, Row{128, 0}, Row{3, 0}, Row{0, 0},
                          Row{1, 1}, Row{1, 40}, Row{1, 254}, Row{1, 255}, Row{1, 300}}) {
        SCOPED_TRACE(testing::Message()
                     << "scale " << row.scale << ", threshold " << row.threshold);
        for (const std::size_t bytes : {a.size(), std::size_t{4}, std::size_t{20}}) {
            std::vector<std::uint8_t> fast(bytes, 0xAB);
            std::vector<std::uint8_t> slow(bytes, 0xCD);
            EXPECT_EQ(
                DifferenceImage(a.data(), b.data(), fast.data(), bytes, row.scale, row.threshold),
                DifferenceImageScalar(a.data(), b.data(), slow.data(), bytes, row.scale,
                                      row.threshold));
            EXPECT_EQ(fast, slow);
        }
    }
    const std::uint8_t x[8] = {100, 0, 255, 7, 90, 90, 90, 255};
    const std::uint8_t y[8] = {36, 64, 0, 7, 90, 91, 90, 255};
    std::uint8_t out[8];
    DifferenceImageScalar(x, y, out, 8, 4, 0);
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 8),
              (std::vector<std::uint8_t>{255, 255, 255, 0, 0, 4, 0, 0}));
    EXPECT_EQ(DifferenceImageScalar(x, y, out, 8, 1, 63), 1u);  // only the first pixel
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 8),
              (std::vector<std::uint8_t>{0, 0, 255, 0, 30, 30, 30, 0}));
}

TEST(Compare, PairsByCategoryAndNameDuplicatesInOrder) {
    TempDir dir;
    const std::vector<std::uint16_t> one = {0};
    const auto a = OpenSet(EtcSet(dir, "a", {"cat=0 name=walls"},
                                  {{"\"brick\" cat=0 width=1 height=1", one},
                                   {"\"brick\" cat=0 width=1 height=1", one},
                                   {"\"stone\" cat=0 width=1 height=1", one},
                                   {"\"x\" cat=9 width=1 height=1", one}}),
                           "etc");
    const auto b = OpenSet(EtcSet(dir, "b", {"cat=0 name=floors", "cat=1 name=walls"},
                                  {{"\"brick\" cat=1 width=1 height=1", one},
                                   {"\"stone\" cat=1 width=1 height=1", one},
                                   {"\"brick\" cat=1 width=1 height=1", one},
                                   {"\"new\" cat=1 width=1 height=1", one},
                                   {"\"brick\" cat=0 width=1 height=1", one}}),
                           "etc");
    const Pairing p = PairEntries(*a, *b);
    using Pairs = std::vector<std::pair<std::size_t, std::size_t>>;
    EXPECT_EQ(p.pairs, (Pairs{{0, 0}, {1, 2}, {2, 1}}));
    EXPECT_EQ(p.onlyInFirst, (std::vector<std::size_t>{3}));
    EXPECT_EQ(p.onlyInSecond, (std::vector<std::size_t>{3, 4}));
}

TEST(Compare, TheEncodingsOfASetWorstFirst) {
    TempDir dir;
    // "etc" texels and "dxt" blocks of the same listing: a texture equal in
    // both (black, opaque), one that differs, and one of no texels.
    WriteText(dir / "world.txt",
              "\"same\" width=4 height=4\n\"worse\" width=4 height=4\n\"none\" width=0 height=4\n");
    WriteBytes(dir / "world.etc.toc", Le32({0, 40, 40}));
    WriteBytes(dir / "world.dxt.toc", Le32({0, 24, 24}));
    std::vector<std::uint8_t> etc(8, 0);
    for (int i = 0; i < 16; ++i) {
        etc.insert(etc.end(), {0x0F, 0x00});  // black, opaque
    }
    etc.resize(40 + 8, 0);
    for (int i = 0; i < 16; ++i) {
        etc.insert(etc.end(), {0x0F, 0xF0});  // red, opaque
    }
    WriteBytes(dir / "world.etc.dat", etc);
    // Two blocks: alpha 255 and 255, colours black and black; the second
    // the same (so "worse" is black in "dxt", red in "etc").
    std::vector<std::uint8_t> dxt(8, 0);
    const std::vector<std::uint8_t> block = {255, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    dxt.insert(dxt.end(), block.begin(), block.end());
    dxt.insert(dxt.end(), 8, 0);
    dxt.insert(dxt.end(), block.begin(), block.end());
    WriteBytes(dir / "world.dxt.dat", dxt);
    const std::string listing = (dir / "world.txt").string();

    const Outcome text = Inspect(dir, {"--compare", listing});
    EXPECT_EQ(text.code, 0) << text.err;
    const std::size_t worse = text.out.find("#1 \"worse\"");
    const std::size_t same = text.out.find("#0 \"same\"");
    const std::size_t none = text.out.find("#2 \"none\"");
    ASSERT_NE(worse, std::string::npos) << text.out;
    EXPECT_LT(worse, same);
    EXPECT_LT(same, none);
    EXPECT_TRUE(Has(text.out,
                    "PSNR R 0.00 G inf B inf A inf RGB 4.77 dB; SSIM 0.0022; largest difference R "
                    "255 G 0 B 0 A 0; 16 of 16 texels differ"))
        << text.out;
    EXPECT_TRUE(Has(text.out, "#2 \"none\" 0 x 4: not measured, no texels"));

    const Outcome json = Inspect(dir, {"--compare", "--json", listing});
    EXPECT_EQ(
        json.out,
        "{\"compare\":[{\"index\":1,\"name\":\"worse\",\"width\":4,\"height\":4,"
        "\"psnr\":{\"r\":0.00,\"g\":null,\"b\":null,\"a\":null,\"rgb\":4.77,\"rgbPremultiplied\":4."
        "77},"
        "\"maxDiff\":{\"r\":255,\"g\":0,\"b\":0,\"a\":0},\"differing\":16,\"ssim\":0.002208},"
        "{\"index\":0,\"name\":\"same\",\"width\":4,\"height\":4,"
        "\"psnr\":{\"r\":null,\"g\":null,\"b\":null,\"a\":null,\"rgb\":null,\"rgbPremultiplied\":"
        "null},"
        "\"maxDiff\":{\"r\":0,\"g\":0,\"b\":0,\"a\":0},\"differing\":0,\"ssim\":1.000000},"
        "{\"index\":2,\"name\":\"none\",\"width\":0,\"height\":4,\"skipped\":\"no texels\"}]}\n");

    // The gate: an entry not measured ("none") never passes it.
    const Outcome unmeasured = Inspect(dir, {"--compare", "--fail-below", "4", listing});
    EXPECT_EQ(unmeasured.code, 1);
    EXPECT_EQ(unmeasured.err,
              "marrowix-inspect: fails --fail-below 4.00: 1 of 3 entries not measured\n");
    const Outcome failing = Inspect(dir, {"--compare", "--fail-below", "30", listing});
    EXPECT_EQ(failing.code, 1);
    EXPECT_TRUE(Has(failing.err, "below 30.00 dB; 1 of 3 entries not measured")) << failing.err;
    for (const char* notPlain : {"x", " 5", "0x10", "1e1", "inf", "-1", "5.", ".5", "1000.5"}) {
        EXPECT_EQ(Inspect(dir, {"--compare", "--fail-below", notPlain, listing}).code, 2)
            << notPlain;
    }
    EXPECT_EQ(Inspect(dir, {"--compare", "--fail-below", "4.5", listing}).code, 1);
    EXPECT_EQ(Inspect(dir, {"--fail-below", "3", listing}).code, 2);
    // Without the other encoding's files nothing can be compared.
    std::filesystem::remove(dir / "world.etc.dat");
    const Outcome missing = Inspect(dir, {"--compare", listing});
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(Has(missing.err, "cannot compare: ")) << missing.err;
}

// The command line gives the same answer whichever measuring path the
// environment picks, on the sample set (textures from 1 x 1 to 128 x 128).
TEST(Compare, EveryMeasurePathGivesTheSameReport) {
    TempDir dir;
    ASSERT_EQ(WriteSampleSet(dir.Path()), "");
    const std::string listing = (dir / "world.txt").string();
    const Outcome widest = Inspect(dir, {"--compare", "--json", listing});
    ASSERT_EQ(widest.code, 0) << widest.err;
    for (MeasurePath path : AvailableMeasurePaths()) {
        SetEnvironment("MARROWIX_MEASURE_PATH", MeasurePathName(path));
        const Outcome report = Inspect(dir, {"--compare", "--json", listing});
        EXPECT_EQ(report.out, widest.out) << MeasurePathName(path);
    }
    SetEnvironment("MARROWIX_MEASURE_PATH", nullptr);
}

// One reading of the listing serves both encodings: each entry's offset
// comes from its own line of each offset table, and a listing replaced by
// rename while --compare runs never makes the encodings disagree.
TEST(Compare, BothEncodingsFromOneReadingOfTheListing) {
    TempDir dir;
    const std::string shortListing = "cat=0 name=a\n\"x\" cat=0 width=1 height=1\n";
    const std::string longListing =
        shortListing + "cat=1 name=b\n\"y\" cat=1 width=1 height=1\n\"z\" width=1 height=1\n";
    WriteText(dir / "world.txt", longListing);
    WriteBytes(dir / "world.dxt.toc", Le32({0, 16, 0, 40, 64}));
    WriteBytes(dir / "world.etc.toc", Le32({0, 10, 0, 20, 30}));
    WriteBytes(dir / "world.dxt.dat", std::vector<std::uint8_t>(100, 0));
    WriteBytes(dir / "world.etc.dat", std::vector<std::uint8_t>(40, 0));
    CTextureSet dxt;
    CTextureSet etc;
    OpenTextureSetInBothModes(dxt, u"dxt", etc, u"etc", U16(dir / "world.txt"));
    ASSERT_EQ(etc.GetEntryCount(), 3u);
    ASSERT_EQ(dxt.GetEntryCount(), 3u);
    const std::uint32_t dxtOffsets[] = {16, 40, 64};
    const std::uint32_t etcOffsets[] = {10, 20, 30};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(dxt.GetEntry(i).offset, dxtOffsets[i]);
        EXPECT_EQ(etc.GetEntry(i).offset, etcOffsets[i]);
        EXPECT_EQ(etc.GetEntryName(i), dxt.GetEntryName(i));
        EXPECT_EQ(etc.GetEntry(i).category, dxt.GetEntry(i).category);
    }
    EXPECT_EQ(etc.GetMode(), kModeEtc);
    EXPECT_EQ(etc.GetCategoryCount(), 2u);

#ifdef _WIN32
    // A listing being read cannot be renamed over there: no such race.
    std::printf("not on Windows: a listing replaced while it is read\n");
#else
    WriteText(dir / "short.txt", shortListing);
    WriteText(dir / "long.txt", longListing);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int k = 0; !stop; ++k) {
            std::filesystem::copy_file(dir / (k % 2 ? "short.txt" : "long.txt"), dir / "next.txt",
                                       std::filesystem::copy_options::overwrite_existing);
            std::filesystem::rename(dir / "next.txt", dir / "world.txt");
        }
    });
    for (int run = 0; run < 40; ++run) {
        const Outcome o = Inspect(dir, {"--compare", "--json", (dir / "world.txt").string()});
        EXPECT_EQ(o.code, 0) << o.err;
    }
    stop = true;
    writer.join();
#endif
}

// Data that was there when the set was opened and is gone when it is read:
// the measure failed, and says so; it is never taken as equal.
TEST(Compare, AReadThatFailsIsAFailedMeasure) {
    TempDir dir;
    const auto listing = EtcSet(dir, "s", {}, {{"\"t\" width=2 height=2", {1, 2, 3, 4}}});
    const auto first = OpenSet(listing, "etc");
    const auto second = OpenSet(listing, "etc");
    std::filesystem::resize_file(dir / "s.etc.dat", 10);
    const EntryComparison r = CompareEntries(*first, 0, *second, 0);
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(r.skipped, "a read of the data failed");
}

TEST(Compare, TwoVersionsOfASet) {
    TempDir dir;
    const std::vector<std::uint16_t> red(4, 0xF00F);
    const std::vector<std::uint16_t> blue(4, 0x00FF);
    const auto old = EtcSet(dir, "old", {"cat=0 name=walls"},
                            {{"\"brick\" cat=0 width=2 height=2", red},
                             {"\"stone\" cat=0 width=2 height=2", red},
                             {"\"gone\" cat=0 width=2 height=2", red},
                             {"\"grown\" cat=0 width=2 height=2", red}});
    const auto now = EtcSet(dir, "now", {"cat=0 name=walls"},
                            {{"\"brick\" cat=0 width=2 height=2", red},
                             {"\"stone\" cat=0 width=2 height=2", blue},
                             {"\"grown\" cat=0 width=4 height=1", red},
                             {"\"added\" cat=0 width=2 height=2", red}});
    const Outcome same =
        Inspect(dir, {"--mode", "etc", "--compare-with", old.string(), old.string()});
    EXPECT_EQ(same.code, 0) << same.err;
    EXPECT_TRUE(Has(same.out, "no differences")) << same.out;

    const Outcome o =
        Inspect(dir, {"--mode", "etc", "--compare-with", old.string(), "--all", now.string()});
    EXPECT_EQ(o.code, 1) << o.err;
    EXPECT_EQ(
        o.out,
        "unchanged: #0 \"walls/brick\" 2 x 2\n"
        "pixels differ: #1 \"walls/stone\" 2 x 2: PSNR R 0.00 G inf B 0.00 A inf RGB 1.76 dB; "
        "SSIM 0.6097; largest difference R 255 G 0 B 255 A 0; 4 of 4 texels differ\n"
        "size changed: #2 \"walls/grown\" 4 x 1, in the other set #3 2 x 2\n"
        "only here: #3 \"walls/added\" 2 x 2\n"
        "only in the other set: #2 \"walls/gone\" 2 x 2\n");
    const Outcome json =
        Inspect(dir, {"--mode", "etc", "--compare-with", old.string(), "--json", now.string()});
    EXPECT_EQ(json.code, 1);
    EXPECT_EQ(json.out.rfind("{\"compareWith\":[{\"change\":\"pixels-differ\",\"index\":1,", 0), 0u)
        << json.out;
    EXPECT_TRUE(Has(json.out, "{\"change\":\"only-in-other\",\"otherIndex\":2,\"name\":\"gone\""));
    EXPECT_EQ(Inspect(dir, {"--all", now.string()}).code, 2);
}

}  // namespace
}  // namespace marrowix::test
