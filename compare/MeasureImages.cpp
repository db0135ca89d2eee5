// Every measure of two images in memory: the viewer's difference view and a
// replacement's report.
#include <algorithm>
#include <cstring>
#include <vector>

#include "compare/Compare.h"
#include "compare/Structural.h"

namespace marrowix {

Measures MeasureImages(const ImageView& a, const ImageView& b) {
    // Rows copied out as texels, the way the region reader hands them.
    auto reader = [](const ImageView& image) {
        return [image](std::uint32_t y, std::uint32_t rows, std::uint32_t x, std::uint32_t cols,
                       std::uint32_t* out) {
            for (std::uint32_t r = 0; r < rows; ++r) {
                std::memcpy(out + std::size_t{r} * cols, image.Row(y + r) + std::size_t{x} * 4,
                            std::size_t{cols} * 4);
            }
            return true;
        };
    };
    const std::uint32_t width = std::min(a.width, b.width);
    const std::uint32_t height = std::min(a.height, b.height);
    const auto readA = reader(a);
    const auto readB = reader(b);
    MeasureSums sums;
    PremultipliedSums premultiplied;
    std::vector<std::uint32_t> rowA(std::min<std::uint32_t>(width, 4096));
    std::vector<std::uint32_t> rowB(rowA.size());
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; x += 4096) {
            const std::uint32_t n = std::min<std::uint32_t>(4096, width - x);
            readA(y, 1, x, n, rowA.data());
            readB(y, 1, x, n, rowB.data());
            sums.Add(rowA.data(), rowB.data(), n);
            premultiplied.Add(rowA.data(), rowB.data(), n);
        }
    }
    Measures m = sums.Result();
    m.premultipliedMse = premultiplied.Mse(m.texels);
    m.hasAlpha = premultiplied.HasAlpha();
    if (width > 0 && height > 0) {
        bool complete = true;
        m.ssim = LumaSsim(readA, readB, width, height, &complete);
    }
    return m;
}

}  // namespace marrowix
