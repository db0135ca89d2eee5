#include "compare/Structural.h"

#include "compare/MeasureKernels.h"
#include "textureset/TexelAccess.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace marrowix {
namespace kernels {
namespace scalar {
#include "compare/SsimRows.inc"
}  // namespace scalar

double SsimTileScalar(const float* x, const float* y, std::uint32_t rows, std::uint32_t cols,
                      const float* across, std::uint32_t kx, const float* down, std::uint32_t ky,
                      float* scratch, float offset) {
    return scalar::SsimTileSum(x, y, rows, cols, across, kx, down, ky, scratch, offset);
}
void PremultipliedScalar(const std::uint32_t* a, const std::uint32_t* b, std::size_t n,
                         std::uint64_t* squares, std::uint32_t* alphas) {
    scalar::PremultipliedRows(a, b, n, squares, alphas);
}
}  // namespace kernels

namespace {

constexpr int kWindow = 11;
constexpr double kSigma = 1.5;
// Outputs of a tile, about; a row of outputs longer than kWideRow is cut
// into tiles kTileSide wide.
constexpr std::size_t kTileTexels = std::size_t{1} << 17;
constexpr std::uint32_t kWideRow = 4096;
constexpr std::uint32_t kTileSide = 512;

// The loops of the measure path MeasureSums takes.
kernels::PathKernels Kernels() {
    return kernels::KernelsOf(ActiveMeasurePath());
}

// The window's taps for an image `size` texels long: the Gaussian's middle
// min(size, 11) taps, summing to 1.
std::vector<float> Taps(std::uint32_t size) {
    const int n = static_cast<int>(std::min<std::uint32_t>(size, kWindow));
    const int skip = (kWindow - n) / 2;
    std::vector<double> w(n);
    double sum = 0;
    for (int i = 0; i < n; ++i) {
        const double d = i + skip - (kWindow - 1) / 2.0;
        w[i] = std::exp(-d * d / (2 * kSigma * kSigma));
        sum += w[i];
    }
    std::vector<float> taps(n);
    for (int i = 0; i < n; ++i) {
        taps[i] = static_cast<float>(w[i] / sum);
    }
    return taps;
}

float Luma(std::uint32_t p) {
    return 0.2126f * static_cast<float>((p >> 16) & 255) +
           0.7152f * static_cast<float>((p >> 8) & 255) + 0.0722f * static_cast<float>(p & 255);
}

}  // namespace

void PremultipliedSums::Add(const std::uint32_t* a, const std::uint32_t* b, std::size_t n) {
    std::uint32_t alphas = 0xFFFFFFFFu;
    Kernels().premultiplied(a, b, n, m_squares.data(), &alphas);
    m_hasAlpha = m_hasAlpha || (alphas >> 24) != 255;
}

std::array<double, 3> PremultipliedSums::Mse(std::uint64_t texels) const {
    std::array<double, 3> mse{};
    for (int c = 0; c < 3; ++c) {
        mse[c] = texels == 0 ? 0
                             : static_cast<double>(m_squares[c]) / (255.0 * 255.0) /
                                   static_cast<double>(texels);
    }
    return mse;
}

double LumaSsim(const CTextureSet& a, const TextureEntry& ea, const CTextureSet& b,
                const TextureEntry& eb, bool* complete) {
    return LumaSsim(
        [&](std::uint32_t y, std::uint32_t rows, std::uint32_t x, std::uint32_t cols,
            std::uint32_t* out) { return ReadTexelRegion(a, ea, y, rows, x, cols, out); },
        [&](std::uint32_t y, std::uint32_t rows, std::uint32_t x, std::uint32_t cols,
            std::uint32_t* out) { return ReadTexelRegion(b, eb, y, rows, x, cols, out); },
        static_cast<std::uint32_t>(ea.width), static_cast<std::uint32_t>(ea.height), complete);
}

namespace {

// Rows narrower than this cost more in their filters' set-up than in their
// texels: a tall texture of them is measured transposed, which its
// separable window allows.
constexpr std::uint32_t kNarrowRow = 128;

// Reads through `reader` the region (y, x) of the image transposed, that is
// rows x..x+cols and columns y..y+rows of the image, turned.
RegionReader Transposed(const RegionReader& reader) {
    auto buffer = std::make_shared<std::vector<std::uint32_t>>();
    return [&reader, buffer](std::uint32_t y, std::uint32_t rows, std::uint32_t x,
                             std::uint32_t cols, std::uint32_t* out) {
        buffer->resize(std::size_t{rows} * cols);
        const bool complete = reader(x, cols, y, rows, buffer->data());
        for (std::uint32_t r = 0; r < cols; ++r) {
            const std::uint32_t* from = buffer->data() + std::size_t{r} * rows;
            for (std::uint32_t c = 0; c < rows; ++c) {
                out[std::size_t{c} * cols + r] = from[c];
            }
        }
        return complete;
    };
}

}  // namespace

double LumaSsim(const RegionReader& a, const RegionReader& b, std::uint32_t width,
                std::uint32_t height, bool* complete) {
    if (width < kNarrowRow && height > width) {
        return LumaSsim(Transposed(a), Transposed(b), height, width, complete);
    }
    const std::vector<float> across = Taps(width);
    const std::vector<float> down = Taps(height);
    const auto kx = static_cast<std::uint32_t>(across.size());
    const auto ky = static_cast<std::uint32_t>(down.size());
    const std::uint32_t outWidth = width - kx + 1;
    const std::uint32_t outHeight = height - ky + 1;
    // Tiles of whole rows where a row is not too long (one read a band),
    // about kTileTexels outputs each; each reads its outputs' windows, from
    // a block's edge.
    const std::uint32_t tileWidth = outWidth <= kWideRow ? outWidth : kTileSide;
    const std::uint32_t tileHeight =
        std::max<std::uint32_t>(16, static_cast<std::uint32_t>(kTileTexels / tileWidth));
    const std::uint32_t readCols = std::min(width, tileWidth + kx + 2);
    const std::uint32_t readRows = std::min(height, tileHeight + ky + 2);
    const std::size_t most = std::size_t{readRows} * readCols;
    // Not cleared: every element is written before it is read.
    const std::unique_ptr<std::uint32_t[]> ta(new std::uint32_t[most]);
    const std::unique_ptr<std::uint32_t[]> tb(new std::uint32_t[most]);
    const std::unique_ptr<float[]> la(new float[most]);
    const std::unique_ptr<float[]> lb(new float[most]);
    const std::unique_ptr<float[]> scratch(
        new float[kernels::scalar::SsimScratchFloats(readCols, kx, ky)]);
    const auto tileSum = Kernels().ssimTile;
    double sum = 0;
    for (std::uint32_t oy = 0; oy < outHeight; oy += tileHeight) {
        const std::uint32_t th = std::min(tileHeight, outHeight - oy);
        const std::uint32_t y0 = oy / 4 * 4;
        const std::uint32_t rows = oy + th + ky - 1 - y0;
        for (std::uint32_t ox = 0; ox < outWidth; ox += tileWidth) {
            const std::uint32_t tw = std::min(tileWidth, outWidth - ox);
            const std::uint32_t x0 = ox / 4 * 4;
            const std::uint32_t cols = ox + tw + kx - 1 - x0;
            *complete &= a(y0, rows, x0, cols, ta.get());
            *complete &= b(y0, rows, x0, cols, tb.get());
            // The luma of the tile's windows only: from (ox, oy).
            const std::uint32_t dx = ox - x0;
            const std::uint32_t dy = oy - y0;
            const std::uint32_t useCols = cols - dx;
            const std::uint32_t useRows = rows - dy;
            // Less the luma of the tile's first texel: a flat tile's
            // variances are then exactly 0.
            const float offset = Luma(ta.get()[std::size_t{dy} * cols + dx]);
            for (std::uint32_t r = 0; r < useRows; ++r) {
                const std::uint32_t* fromA = ta.get() + std::size_t{r + dy} * cols + dx;
                const std::uint32_t* fromB = tb.get() + std::size_t{r + dy} * cols + dx;
                float* toA = la.get() + std::size_t{r} * useCols;
                float* toB = lb.get() + std::size_t{r} * useCols;
                for (std::uint32_t c = 0; c < useCols; ++c) {
                    toA[c] = Luma(fromA[c]) - offset;
                    toB[c] = Luma(fromB[c]) - offset;
                }
            }
            sum += tileSum(la.get(), lb.get(), useRows, useCols, across.data(), kx, down.data(), ky,
                           scratch.get(), offset);
        }
    }
    // Each window's value is at most 1; so is their mean, whatever the
    // rounding of the sums.
    return std::min(1.0, sum / (static_cast<double>(outWidth) * outHeight));
}

}  // namespace marrowix
