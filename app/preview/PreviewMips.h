// Smaller images of the preview's image for zooming out: level k holds the
// image halved k times, each pixel the average of the (up to) four pixels
// under it, every channel alike (alpha averaged as straight colour). Made on
// demand from the image shown and kept with it, so that a screen pixel of a
// zoomed-out view averages the texels it covers at the cost of a lookup.
#pragma once

#include <QRgb>
#include <cstddef>
#include <functional>
#include <vector>

namespace marrowix {

class PreviewMips {
public:
    // Makes the levels 1 to `levels` of a width x height image whose row y
    // (top row 0) `row` gives; levels already made stay.
    void Build(int width, int height, int levels, const std::function<const QRgb*(int)>& row);
    void Clear() { m_levels.clear(); }
    int Levels() const { return static_cast<int>(m_levels.size()); }

    // Level k (1 to Levels()): its size and its row y, top row first.
    int Width(int k) const { return m_levels[static_cast<std::size_t>(k - 1)].width; }
    int Height(int k) const { return m_levels[static_cast<std::size_t>(k - 1)].height; }
    const QRgb* Row(int k, int y) const {
        const Level& l = m_levels[static_cast<std::size_t>(k - 1)];
        return l.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(l.width);
    }

private:
    struct Level {
        int width = 0;
        int height = 0;
        std::vector<QRgb> pixels;
    };
    std::vector<Level> m_levels;
};

// The average of the pixels at `first`, `first + step`, ... (`count` of
// them) of each of `rowCount` rows, channel by channel, rounded.
QRgb AveragePixels(const QRgb* const* rows, int rowCount, int first, int count, int step = 1);

}  // namespace marrowix
