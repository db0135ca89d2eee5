#include "app/preview/PreviewMips.h"

#include <algorithm>
#include <cstdint>

namespace marrowix {

QRgb AveragePixels(const QRgb* const* rows, int rowCount, int first, int count, int step) {
    std::uint32_t sums[4] = {};
    for (int r = 0; r < rowCount; ++r) {
        for (int i = 0, x = first; i < count; ++i, x += step) {
            const QRgb p = rows[r][x];
            sums[0] += p & 0xFF;
            sums[1] += (p >> 8) & 0xFF;
            sums[2] += (p >> 16) & 0xFF;
            sums[3] += p >> 24;
        }
    }
    const std::uint32_t n = static_cast<std::uint32_t>(rowCount * count);
    QRgb out = 0;
    for (int c = 0; c < 4; ++c) {
        out |= ((sums[c] + n / 2) / n) << (8 * c);
    }
    return out;
}

void PreviewMips::Build(int width, int height, int levels,
                        const std::function<const QRgb*(int)>& row) {
    while (Levels() < levels) {
        const int k = Levels() + 1;
        const int fromWidth = k == 1 ? width : Width(k - 1);
        const int fromHeight = k == 1 ? height : Height(k - 1);
        if (fromWidth <= 1 && fromHeight <= 1) {
            return;  // nothing smaller to make
        }
        auto from = [&](int y) { return k == 1 ? row(y) : Row(k - 1, y); };
        Level level;
        level.width = (fromWidth + 1) / 2;
        level.height = (fromHeight + 1) / 2;
        level.pixels.resize(static_cast<std::size_t>(level.width) *
                            static_cast<std::size_t>(level.height));
        for (int y = 0; y < level.height; ++y) {
            const int rowCount = std::min(2, fromHeight - 2 * y);
            const QRgb* rows[2] = {from(2 * y), from(2 * y + rowCount - 1)};
            QRgb* out = level.pixels.data() + static_cast<std::size_t>(y) * level.width;
            for (int x = 0; x < level.width; ++x) {
                out[x] = AveragePixels(rows, rowCount, 2 * x, std::min(2, fromWidth - 2 * x));
            }
        }
        m_levels.push_back(std::move(level));
    }
}

}  // namespace marrowix
