#include <gtest/gtest.h>

#include <cstdlib>

#include "decode/Decode.h"
#include "tests/TestFiles.h"
#include "tests/inspect/RunInspect.h"
#include "textureset/TexelAccess.h"
#include "tools/SampleSet.h"

namespace marrowix::test {
namespace {

// The sample set reads back in both encodings, and the DXT5 encoder keeps each
// texture close to its source.
TEST(SampleSet, BothEncodingsReadBackCloseToTheSource) {
    TempDir dir;
    ASSERT_EQ(WriteSampleSet(dir.Path()), "");
    const auto images = SampleImages();
    for (const std::string mode : {"dxt", "etc"}) {
        auto set = OpenSet(dir / "world.txt", mode);
        ASSERT_TRUE(set->HasOffsetTableFile() && set->HasDataFile());
        ASSERT_EQ(set->GetCategoryCount(), SampleCategories().size());
        ASSERT_EQ(set->GetEntryCount(), images.size());
        for (std::size_t i = 0; i < images.size(); ++i) {
            const TextureEntry e = set->GetEntry(i);
            EXPECT_EQ(Utf8Name(e), images[i].name);
            ASSERT_EQ(static_cast<std::uint32_t>(e.width), images[i].width);
            ASSERT_EQ(static_cast<std::uint32_t>(e.height), images[i].height);
            auto texels = ReadTexels(*set, e);
            ASSERT_TRUE(texels.ok());
            int worst = 0;
            double total = 0;
            for (std::size_t t = 0; t < texels.value.size(); ++t) {
                for (int ch = 0; ch < 4; ++ch) {
                    const int got = (texels.value[t] >> (12 - 4 * ch)) & 0xF;
                    const int want = images[i].rgba[t * 4 + ch] >> 4;
                    worst = std::max(worst, std::abs(got - want));
                    total += std::abs(got - want);
                }
            }
            // Four colours a block cannot follow a gradient in two directions
            // exactly, but on average they stay within a nibble.
            const double mean = texels.value.empty() ? 0 : total / (texels.value.size() * 4.0);
            EXPECT_LE(worst, mode == "etc" ? 0 : 6) << mode << " " << images[i].name;
            EXPECT_LE(mean, mode == "etc" ? 0 : 1.0) << mode << " " << images[i].name;
        }
    }
}

// Runs the sample tool in `dir`; its exit code.
int MakeSample(const TempDir& dir, const std::string& arg) {
    return RunIn(dir.Path(), MARROWIX_MAKE_SAMPLE_PATH, {arg});
}

TEST(SampleSet, TheToolTakesNoOptionForAFolder) {
    TempDir dir;
    EXPECT_EQ(MakeSample(dir, "--help"), 0);
    const auto help = ReadBytes(dir / "out.txt");
    EXPECT_EQ(std::string(help.begin(), help.end()).rfind("usage: marrowix-make-sample DIR", 0),
              0u);
    EXPECT_EQ(MakeSample(dir, "--bogus"), 2);
    EXPECT_EQ(MakeSample(dir, "-x"), 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "--help"));
    EXPECT_FALSE(std::filesystem::exists(dir / "--bogus"));
    EXPECT_EQ(MakeSample(dir, "./-x"), 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "-x" / "world.txt"));
}

}  // namespace
}  // namespace marrowix::test
