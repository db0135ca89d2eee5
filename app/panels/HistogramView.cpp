#include "app/panels/HistogramView.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace marrowix {

HistogramView::HistogramView(QWidget* parent) : QWidget(parent) {
    setMinimumHeight(60);
}

void HistogramView::SetHistograms(const std::array<Bins, 4>& bins) {
    m_bins = bins;
    m_empty = false;
    update();
}

void HistogramView::Clear() {
    m_empty = true;
    update();
}

void HistogramView::SetLogarithmic(bool on) {
    m_log = on;
    update();
}

double HistogramView::BarHeight(int channel, int value, int height) const {
    std::uint64_t tallest = 0;
    for (const Bins& b : m_bins) {
        tallest = std::max(tallest, *std::max_element(b.begin(), b.end()));
    }
    const auto count = static_cast<double>(m_bins[channel][value]);
    if (tallest == 0 || count == 0) {
        return 0;
    }
    const double share = m_log ? std::log1p(count) / std::log1p(static_cast<double>(tallest))
                               : count / static_cast<double>(tallest);
    return share * height;
}

void HistogramView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x20, 0x20, 0x20));
    if (m_empty) {
        return;
    }
    const QColor colours[4] = {QColor(230, 60, 60, 150), QColor(60, 200, 60, 150),
                               QColor(70, 110, 240, 150), QColor(200, 200, 200, 110)};
    const int h = height();
    const double column = width() / 256.0;
    for (int c = 3; c >= 0; --c) {
        for (int v = 0; v < 256; ++v) {
            const double bar = BarHeight(c, v, h);
            if (bar > 0) {
                painter.fillRect(QRectF(v * column, h - bar, std::max(column, 1.0), bar),
                                 colours[c]);
            }
        }
    }
}

}  // namespace marrowix
