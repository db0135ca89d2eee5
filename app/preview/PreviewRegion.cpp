// The preview's region (a rectangle of texels chosen by Shift+drag, for the
// statistics) and its levels (for the display only).
#include <QPainter>

#include "app/preview/PreviewView.h"

namespace marrowix {

void PreviewView::BeginRegion(QPoint viewportPoint) {
    m_regionFrom = TexelAt(viewportPoint);
    if (m_regionFrom) {
        SetRegion(QRect(*m_regionFrom, QSize(1, 1)));
    }
}

void PreviewView::ExtendRegion(QPoint viewportPoint) {
    // Beyond the image's edge the region stops at it.
    const double scale = Scale();
    const QPoint scroll = Scroll();
    const int x = std::clamp(static_cast<int>((viewportPoint.x() + scroll.x()) / scale), 0,
                             std::max(0, m_width - 1));
    const int y = std::clamp(static_cast<int>((viewportPoint.y() + scroll.y()) / scale), 0,
                             std::max(0, m_height - 1));
    const QPoint from = *m_regionFrom;
    SetRegion(QRect(QPoint(std::min(from.x(), x), std::min(from.y(), y)),
                    QPoint(std::max(from.x(), x), std::max(from.y(), y))));
}

void PreviewView::SetRegion(std::optional<QRect> region) {
    if (region) {
        *region &= QRect(0, 0, m_width, m_height);
        if (region->isEmpty()) {
            region.reset();
        }
    }
    if (region == m_region) {
        return;
    }
    m_region = region;
    viewport()->update();
    UpdateReadout();
    emit regionChanged();
}

QRect PreviewView::VisibleTexels() const {
    if (!HasImage()) {
        return {};
    }
    const double scale = Scale();
    const QPoint scroll = Scroll();
    const QRect view = viewport()->rect();
    const int x0 = static_cast<int>(scroll.x() / scale);
    const int y0 = static_cast<int>(scroll.y() / scale);
    const int x1 = static_cast<int>(std::ceil((scroll.x() + view.width()) / scale));
    const int y1 = static_cast<int>(std::ceil((scroll.y() + view.height()) / scale));
    return QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1)) & QRect(0, 0, m_width, m_height);
}

void PreviewView::PaintRegion(QPainter& painter) const {
    if (!m_region) {
        return;
    }
    const double scale = Scale();
    const QPoint scroll = Scroll();
    const QRectF r(m_region->x() * scale - scroll.x(), m_region->y() * scale - scroll.y(),
                   m_region->width() * scale, m_region->height() * scale);
    // Dashes of black and white: seen on any texel.
    painter.setPen(QPen(Qt::white, 0));
    painter.drawRect(r);
    QPen dashes(Qt::black, 0, Qt::DashLine);
    painter.setPen(dashes);
    painter.drawRect(r);
}

void PreviewView::SetLevels(const Levels& levels) {
    if (levels == m_levels) {
        return;
    }
    m_levels = levels;
    m_levelTable = levels.Table();
    viewport()->update();
    UpdateReadout();
}

QImage PreviewView::LeveledImage() const {
    QImage image = Image();
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            row[x] = Leveled(row[x]);
        }
    }
    return image;
}

QRgb PreviewView::Leveled(QRgb pixel) const {
    if (m_precision == Precision::kNibbles) {
        // The preview block's n x 16 as the exact n x 17.
        pixel = ExactPixel(pixel);
    }
    return m_levels.Apply(pixel, m_levelTable);
}

}  // namespace marrowix
