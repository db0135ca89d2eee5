// Arbitrary block data and image sizes through DecodeBlockImage, on every
// decoding path and at both precisions, checked against decoding every
// block alone with DecodeBlock; the images' differences are measured on
// every measuring path against the reference. The buffers are of exactly
// their size, so any read or write outside them is caught.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "FuzzSupport.h"
#include "compare/Compare.h"
#include "compare/MeasureKernels.h"
#include "decode/Decode.h"

using namespace marrowix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto width = input.ConsumeIntegralInRange<std::uint32_t>(0, 257);
    const auto height = input.ConsumeIntegralInRange<std::uint32_t>(0, 257);
    static constexpr std::uint32_t kLayouts[] = {kLayoutRgba4444, kLayoutRgb565, kLayoutBgr888,
                                                 kLayoutArgb8888, 0x1555};
    const std::uint32_t layout = input.PickValueInArray(kLayouts);
    const std::vector<std::uint8_t> blocks = input.ConsumeRemainingBytes<std::uint8_t>();

    const std::size_t texels = std::size_t{width} * height;
    std::vector<std::uint16_t> out(texels, 0xA5A5);
    MARROWIX_FUZZ_CHECK(DecodeBlockImage(width, height, blocks, out, layout));

    // The same image block by block; missing bytes are 0.
    std::vector<std::uint16_t> expected(texels, 0x5A5A);
    const std::uint32_t across = (width + 3) / 4;
    const std::uint32_t down = (height + 3) / 4;
    for (std::uint32_t r = 0; r < down; ++r) {
        for (std::uint32_t c = 0; c < across; ++c) {
            std::uint8_t block[kBlockBytes] = {};
            const std::size_t start = (std::size_t{r} * across + c) * kBlockBytes;
            if (start < blocks.size()) {
                std::memcpy(block, blocks.data() + start,
                            std::min(kBlockBytes, blocks.size() - start));
            }
            DecodeBlock(block, c * 4, r * 4, width, height, expected.data(), layout);
        }
    }
    MARROWIX_FUZZ_CHECK(out == expected);

    // Every decoding path the processor has gives the same texels, and the
    // full-precision texels narrowed to 4 bits a channel are the 0x4444 ones.
    if (layout == kLayoutRgba4444) {
        const DecodePath before = ActiveDecodePath();
        std::vector<std::uint32_t> reference;
        for (DecodePath path : AvailableDecodePaths()) {
            MARROWIX_FUZZ_CHECK(ForceDecodePath(path));
            std::vector<std::uint16_t> again(texels, 0x3C3C);
            MARROWIX_FUZZ_CHECK(DecodeBlockImage(width, height, blocks, again, layout));
            MARROWIX_FUZZ_CHECK(again == expected);
            std::vector<std::uint32_t> full(texels, 0xC3C3C3C3);
            MARROWIX_FUZZ_CHECK(
                DecodeBlockImage(width, height, blocks, std::span<std::uint32_t>(full)));
            if (path == DecodePath::kScalar) {
                reference = full;
            }
            MARROWIX_FUZZ_CHECK(full == reference);
            for (std::size_t i = 0; i < texels; ++i) {
                const std::uint32_t t = full[i];
                MARROWIX_FUZZ_CHECK((((t >> 20) & 15) << 12 | ((t >> 12) & 15) << 8 |
                                     ((t >> 4) & 15) << 4 | t >> 28) == expected[i]);
            }
        }
        ForceDecodePath(before);

        // The full-precision image against its own texels shifted by one,
        // and against the 4-bit texels widened as they are measured.
        const MeasurePath measureBefore = ActiveMeasurePath();
        std::vector<std::uint32_t> shifted(reference.begin(), reference.end());
        std::rotate(shifted.begin(), shifted.begin() + (texels > 0 ? 1 : 0), shifted.end());
        std::vector<Measures> measures;
        for (MeasurePath path : AvailableMeasurePaths()) {
            MARROWIX_FUZZ_CHECK(ForceMeasurePath(path));
            MeasureSums sums;
            sums.Add(reference.data(), shifted.data(), texels);
            MeasureSums widened;
            widened.Add(expected.data(), reference.data(), texels);
            measures.push_back(sums.Result());
            measures.push_back(widened.Result());
        }
        for (std::size_t i = 2; i < measures.size(); ++i) {
            const Measures& got = measures[i];
            const Measures& want = measures[i % 2];
            MARROWIX_FUZZ_CHECK(got.mse == want.mse && got.maxDiff == want.maxDiff &&
                                got.differing == want.differing && got.texels == want.texels);
        }
        // The 4-bit texels are the full-precision ones narrowed: widened,
        // they differ from them by less than 17.
        for (int c = 0; c < 4 && texels > 0; ++c) {
            MARROWIX_FUZZ_CHECK(measures[1].maxDiff[c] < 17);
        }
        ForceMeasurePath(measureBefore);
    }

    // An output one texel short is refused and left alone.
    if (texels > 0) {
        std::vector<std::uint16_t> small(texels - 1, 0x1234);
        MARROWIX_FUZZ_CHECK(!DecodeBlockImage(width, height, blocks, small, layout));
        for (std::uint16_t t : small) {
            MARROWIX_FUZZ_CHECK(t == 0x1234);
        }
    }
    return 0;
}
