// The histograms of a texture's four channels, drawn over one another (red,
// green, blue, and alpha in grey), with counts on a linear or a logarithmic
// scale; each channel's bins scaled to the tallest bin of all four.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>

namespace marrowix {

class HistogramView : public QWidget {
    Q_OBJECT
public:
    explicit HistogramView(QWidget* parent = nullptr);

    using Bins = std::array<std::uint64_t, 256>;
    void SetHistograms(const std::array<Bins, 4>& bins);
    void Clear();
    void SetLogarithmic(bool on);
    bool Logarithmic() const { return m_log; }

    // The height, in pixels, the bar of `value` in channel `channel` has in a
    // view `height` pixels high: for tests of the scale.
    double BarHeight(int channel, int value, int height) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<Bins, 4> m_bins{};
    bool m_empty = true;
    bool m_log = false;
};

}  // namespace marrowix
