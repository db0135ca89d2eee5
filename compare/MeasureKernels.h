// The loops that sum two images' differences: the scalar reference and a
// vector path, chosen at run time by the processor's features.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace marrowix {

// What one call sums over n texels of 0xAARRGGBB (n at most kKernelTexels,
// so that 32 bits hold the sums of squares).
struct KernelSums {
    std::uint32_t squares[4] = {};  // red, green, blue, alpha
    std::uint32_t largest[4] = {};
    std::uint32_t differing = 0;
};
constexpr std::size_t kKernelTexels = 65536;

enum class MeasurePath { kScalar, kAvx2, kAvx512 };
const char* MeasurePathName(MeasurePath path);  // "scalar", "avx2", "avx512"
// The paths this processor can run, the scalar one first.
std::vector<MeasurePath> AvailableMeasurePaths();
// The path MeasureSums and the structural measures take: the fastest
// available one on a short trial at first use, unless another is forced
// (also by the environment variable MARROWIX_MEASURE_PATH naming one; a
// value that names no path this processor runs is told on stderr with the
// ones it could name); forcing a path the processor lacks is refused.
MeasurePath ActiveMeasurePath();
bool ForceMeasurePath(MeasurePath path);
// The path and how it was chosen: "avx2 (fastest on a trial of avx2,
// avx512)".
std::string DescribeMeasurePath();

namespace kernels {
KernelSums MeasureScalar(const std::uint32_t* a, const std::uint32_t* b, std::size_t n);
// The same with the first image as RGBA4444 texels, each widened n x 17
// (WidenTexel) as it is measured.
KernelSums MeasureNibblesScalar(const std::uint16_t* a, const std::uint32_t* b, std::size_t n);
// One tile's sum of SSIM (compare/SsimRows.inc), on each path.
double SsimTileScalar(const float* x, const float* y, std::uint32_t rows, std::uint32_t cols,
                      const float* across, std::uint32_t kx, const float* down, std::uint32_t ky,
                      float* scratch, float offset);
// Squared differences of premultiplied colour (compare/SsimRows.inc).
void PremultipliedScalar(const std::uint32_t* a, const std::uint32_t* b, std::size_t n,
                         std::uint64_t* squares, std::uint32_t* alphas);
#if defined(__x86_64__) || defined(_M_X64)
void PremultipliedAvx2(const std::uint32_t* a, const std::uint32_t* b, std::size_t n,
                       std::uint64_t* squares, std::uint32_t* alphas);
void PremultipliedAvx512(const std::uint32_t* a, const std::uint32_t* b, std::size_t n,
                         std::uint64_t* squares, std::uint32_t* alphas);
double SsimTileAvx2(const float* x, const float* y, std::uint32_t rows, std::uint32_t cols,
                    const float* across, std::uint32_t kx, const float* down, std::uint32_t ky,
                    float* scratch, float offset);
double SsimTileAvx512(const float* x, const float* y, std::uint32_t rows, std::uint32_t cols,
                      const float* across, std::uint32_t kx, const float* down, std::uint32_t ky,
                      float* scratch, float offset);
KernelSums MeasureAvx2(const std::uint32_t* a, const std::uint32_t* b, std::size_t n);
KernelSums MeasureNibblesAvx2(const std::uint16_t* a, const std::uint32_t* b, std::size_t n);
// AVX-512 with BW, VBMI and VNNI.
KernelSums MeasureAvx512(const std::uint32_t* a, const std::uint32_t* b, std::size_t n);
KernelSums MeasureNibblesAvx512(const std::uint16_t* a, const std::uint32_t* b, std::size_t n);
#endif

// A path's loops: sums for two 8-bit images and for RGBA4444 texels against
// an 8-bit image, an SSIM tile, premultiplied differences.
struct PathKernels {
    KernelSums (*wide)(const std::uint32_t*, const std::uint32_t*, std::size_t);
    KernelSums (*nibbles)(const std::uint16_t*, const std::uint32_t*, std::size_t);
    double (*ssimTile)(const float*, const float*, std::uint32_t, std::uint32_t, const float*,
                       std::uint32_t, const float*, std::uint32_t, float*, float);
    void (*premultiplied)(const std::uint32_t*, const std::uint32_t*, std::size_t, std::uint64_t*,
                          std::uint32_t*);
};
PathKernels KernelsOf(MeasurePath path);

namespace {

// A vector kernel's loop: `add(sums, i)` for each whole group of `Step`
// texels from texel i, the texels after the last group by `rest(i)` (the
// reference), then the vector sums of the i texels before.
template <std::size_t Step, class Sums, class AddGroup, class Rest>
KernelSums MeasureInSteps(std::size_t n, AddGroup add, Rest rest) {
    Sums sums;
    std::size_t i = 0;
    for (; i + Step <= n; i += Step) {
        add(sums, i);
    }
    KernelSums result = rest(i);
    sums.Into(result, i);
    return result;
}

}  // namespace
}  // namespace kernels

}  // namespace marrowix
