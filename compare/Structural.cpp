#include "compare/Structural.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace marrowix {
namespace {

constexpr int kWindow = 11;
constexpr double kSigma = 1.5;
constexpr float kC1 = (0.01f * 255) * (0.01f * 255);
constexpr float kC2 = (0.03f * 255) * (0.03f * 255);
// Output positions of a tile, each way.
constexpr std::uint32_t kTile = 128;

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

// Sums SSIM over the outputs of a region: luma of both images, `rows` x
// `cols` of them (row-major), giving (rows - taps + 1) x (cols - taps + 1)
// outputs.
class SsimTile {
public:
    SsimTile(const std::vector<float>& across, const std::vector<float>& down)
        : m_across(across), m_down(down) {}

    double Sum(const float* x, const float* y, std::uint32_t rows, std::uint32_t cols) {
        const std::uint32_t kx = static_cast<std::uint32_t>(m_across.size());
        const std::uint32_t ky = static_cast<std::uint32_t>(m_down.size());
        const std::uint32_t outCols = cols - kx + 1;
        const std::uint32_t outRows = rows - ky + 1;
        // Across: the five quantities of each row, filtered.
        for (auto& h : m_h) {
            h.assign(std::size_t{rows} * outCols, 0);
        }
        for (std::uint32_t r = 0; r < rows; ++r) {
            const float* xr = x + std::size_t{r} * cols;
            const float* yr = y + std::size_t{r} * cols;
            float* h0 = m_h[0].data() + std::size_t{r} * outCols;
            float* h1 = m_h[1].data() + std::size_t{r} * outCols;
            float* h2 = m_h[2].data() + std::size_t{r} * outCols;
            float* h3 = m_h[3].data() + std::size_t{r} * outCols;
            float* h4 = m_h[4].data() + std::size_t{r} * outCols;
            for (std::uint32_t t = 0; t < kx; ++t) {
                const float w = m_across[t];
                for (std::uint32_t c = 0; c < outCols; ++c) {
                    const float a = xr[c + t];
                    const float b = yr[c + t];
                    h0[c] += w * a;
                    h1[c] += w * b;
                    h2[c] += w * a * a;
                    h3[c] += w * b * b;
                    h4[c] += w * a * b;
                }
            }
        }
        // Down, then SSIM at each output.
        double sum = 0;
        m_v.resize(std::size_t{5} * outCols);
        for (std::uint32_t r = 0; r < outRows; ++r) {
            std::fill(m_v.begin(), m_v.end(), 0.0f);
            for (std::uint32_t t = 0; t < ky; ++t) {
                const float w = m_down[t];
                for (std::size_t q = 0; q < 5; ++q) {
                    const float* h = m_h[q].data() + std::size_t{r + t} * outCols;
                    float* v = m_v.data() + std::size_t{q} * outCols;
                    for (std::uint32_t c = 0; c < outCols; ++c) {
                        v[c] += w * h[c];
                    }
                }
            }
            const float* mx = m_v.data();
            const float* my = mx + outCols;
            const float* xx = my + outCols;
            const float* yy = xx + outCols;
            const float* xy = yy + outCols;
            for (std::uint32_t c = 0; c < outCols; ++c) {
                const float vx = xx[c] - mx[c] * mx[c];
                const float vy = yy[c] - my[c] * my[c];
                const float cov = xy[c] - mx[c] * my[c];
                sum +=
                    static_cast<double>(((2 * mx[c] * my[c] + kC1) * (2 * cov + kC2)) /
                                        ((mx[c] * mx[c] + my[c] * my[c] + kC1) * (vx + vy + kC2)));
            }
        }
        return sum;
    }

private:
    const std::vector<float>& m_across;
    const std::vector<float>& m_down;
    std::vector<float> m_h[5];
    std::vector<float> m_v;
};

}  // namespace

void PremultipliedSums::Add(const std::uint32_t* a, const std::uint32_t* b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t pa = a[i];
        const std::uint32_t pb = b[i];
        const float aa = static_cast<float>(pa >> 24) / 255;
        const float ab = static_cast<float>(pb >> 24) / 255;
        m_hasAlpha = m_hasAlpha || (pa >> 24) != 255 || (pb >> 24) != 255;
        for (int c = 0; c < 3; ++c) {
            const int shift = 16 - 8 * c;
            const float d = static_cast<float>((pa >> shift) & 255) * aa -
                            static_cast<float>((pb >> shift) & 255) * ab;
            m_squares[c] += static_cast<double>(d * d);
        }
    }
}

std::array<double, 3> PremultipliedSums::Mse(std::uint64_t texels) const {
    std::array<double, 3> mse{};
    for (int c = 0; c < 3; ++c) {
        mse[c] = texels == 0 ? 0 : m_squares[c] / static_cast<double>(texels);
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

double LumaSsim(const RegionReader& a, const RegionReader& b, std::uint32_t width,
                std::uint32_t height, bool* complete) {
    const std::vector<float> across = Taps(width);
    const std::vector<float> down = Taps(height);
    const auto kx = static_cast<std::uint32_t>(across.size());
    const auto ky = static_cast<std::uint32_t>(down.size());
    const std::uint32_t outWidth = width - kx + 1;
    const std::uint32_t outHeight = height - ky + 1;
    // Each tile reads its outputs' windows, from a block's edge.
    const std::size_t most = std::size_t{kTile + kWindow + 3} * (kTile + kWindow + 3);
    std::vector<std::uint32_t> ta(most);
    std::vector<std::uint32_t> tb(most);
    std::vector<float> la(most);
    std::vector<float> lb(most);
    SsimTile tile(across, down);
    double sum = 0;
    for (std::uint32_t oy = 0; oy < outHeight; oy += kTile) {
        const std::uint32_t th = std::min(kTile, outHeight - oy);
        const std::uint32_t y0 = oy / 4 * 4;
        const std::uint32_t rows = oy + th + ky - 1 - y0;
        for (std::uint32_t ox = 0; ox < outWidth; ox += kTile) {
            const std::uint32_t tw = std::min(kTile, outWidth - ox);
            const std::uint32_t x0 = ox / 4 * 4;
            const std::uint32_t cols = ox + tw + kx - 1 - x0;
            *complete &= a(y0, rows, x0, cols, ta.data());
            *complete &= b(y0, rows, x0, cols, tb.data());
            // The luma of the tile's windows only: from (ox, oy).
            const std::uint32_t dx = ox - x0;
            const std::uint32_t dy = oy - y0;
            const std::uint32_t useCols = cols - dx;
            const std::uint32_t useRows = rows - dy;
            for (std::uint32_t r = 0; r < useRows; ++r) {
                for (std::uint32_t c = 0; c < useCols; ++c) {
                    const std::size_t from = std::size_t{r + dy} * cols + c + dx;
                    const std::size_t to = std::size_t{r} * useCols + c;
                    la[to] = Luma(ta[from]);
                    lb[to] = Luma(tb[from]);
                }
            }
            sum += tile.Sum(la.data(), lb.data(), useRows, useCols);
        }
    }
    return sum / (static_cast<double>(outWidth) * outHeight);
}

}  // namespace marrowix
