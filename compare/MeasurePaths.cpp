// Which measure path runs: the processor's paths, the one the environment
// names, or the fastest of them on a short trial of the loops a comparison
// spends its time in.
#include <array>
#include <string>
#include <vector>

#include "compare/MeasureKernels.h"
#include "platform/PathChoice.h"

namespace marrowix {
namespace {

bool Supported(MeasurePath path) {
#if defined(__x86_64__) || defined(_M_X64)
    if (path == MeasurePath::kAvx2) {
        return __builtin_cpu_supports("avx2");
    }
    if (path == MeasurePath::kAvx512) {
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vnni");
    }
#endif
    return path == MeasurePath::kScalar;
}

const std::vector<MeasurePath> kAllMeasurePaths = {MeasurePath::kScalar, MeasurePath::kAvx2,
                                                   MeasurePath::kAvx512};

// A trial of a path: 4096 texels summed as two 8-bit images, as nibbles
// against 8 bits and premultiplied, and SSIM over a tile of 40 x 40.
void MeasureTrial(MeasurePath path) {
    constexpr std::size_t kTexels = 4096;
    constexpr std::uint32_t kSide = 40;
    constexpr std::uint32_t kTaps = 11;
    struct Images {
        std::vector<std::uint32_t> a, b;
        std::vector<std::uint16_t> nibbles;
        std::vector<float> x, y, taps;
    };
    static const Images images = [] {
        Images m;
        std::uint32_t state = 2024;
        auto next = [&state] { return state = state * 1664525u + 1013904223u; };
        for (std::size_t i = 0; i < kTexels; ++i) {
            m.a.push_back(next());
            m.b.push_back(m.a.back() ^ (next() & 0x0F0F0F0F));
            m.nibbles.push_back(static_cast<std::uint16_t>(next() >> 16));
        }
        for (std::uint32_t i = 0; i < kSide * kSide; ++i) {
            m.x.push_back(static_cast<float>(next() >> 24));
            m.y.push_back(m.x.back() + static_cast<float>(next() >> 30));
        }
        m.taps.assign(kTaps, 1.0f / kTaps);
        return m;
    }();
    constexpr std::size_t plane = kSide - kTaps + 1;
    static thread_local std::vector<float> scratch(kTaps * 5 * plane + 3 * kSide + 6 * plane);
    const kernels::PathKernels k = kernels::KernelsOf(path);
    std::array<std::uint64_t, 3> squares{};
    std::uint32_t alphas = 0;
    volatile std::uint32_t sink =
        k.wide(images.a.data(), images.b.data(), kTexels).squares[0] +
        k.nibbles(images.nibbles.data(), images.b.data(), kTexels).squares[0];
    k.premultiplied(images.a.data(), images.b.data(), kTexels, squares.data(), &alphas);
    volatile double ssim =
        k.ssimTile(images.x.data(), images.y.data(), kSide, kSide, images.taps.data(), kTaps,
                   images.taps.data(), kTaps, scratch.data(), 0.0f);
    (void)sink;
    (void)ssim;
}

PathSetting<MeasurePath>& Paths() {
    static PathSetting<MeasurePath> paths("MARROWIX_MEASURE_PATH", kAllMeasurePaths, Supported,
                                          MeasurePathName, MeasureTrial);
    return paths;
}

}  // namespace

namespace kernels {

PathKernels KernelsOf(MeasurePath path) {
#if defined(__x86_64__) || defined(_M_X64)
    if (path == MeasurePath::kAvx512) {
        return {MeasureAvx512, MeasureNibblesAvx512, SsimTileAvx512, PremultipliedAvx512};
    }
    if (path == MeasurePath::kAvx2) {
        return {MeasureAvx2, MeasureNibblesAvx2, SsimTileAvx2, PremultipliedAvx2};
    }
#endif
    (void)path;
    return {MeasureScalar, MeasureNibblesScalar, SsimTileScalar, PremultipliedScalar};
}

}  // namespace kernels

const char* MeasurePathName(MeasurePath path) {
    switch (path) {
        case MeasurePath::kScalar:
            return "scalar";
        case MeasurePath::kAvx2:
            return "avx2";
        case MeasurePath::kAvx512:
            return "avx512";
    }
    return "?";
}

std::vector<MeasurePath> AvailableMeasurePaths() {
    return Paths().Available();
}

MeasurePath ActiveMeasurePath() {
    return Paths().Active();
}

bool ForceMeasurePath(MeasurePath path) {
    return Paths().Force(path);
}

std::string DescribeMeasurePath() {
    return Paths().Describe();
}

}  // namespace marrowix
