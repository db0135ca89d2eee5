#include "app/preview/SplitView.h"

#include <QPainter>
#include <algorithm>
#include <cstdlib>

namespace marrowix {
namespace {

constexpr int kGrip = 4;  // pixels either side of the divider that take it

}  // namespace

void SplitView::Set(Buffer<std::uint8_t> dib, const ImageView& size, const QString& leftName,
                    const QString& rightName) {
    m_image.Take(std::move(dib), &size);
    m_leftName = leftName;
    m_rightName = rightName;
}

void SplitView::SetAt(int x, int width) {
    m_fraction = std::clamp(static_cast<double>(x) / std::max(1, width), 0.0, 1.0);
}

bool SplitView::Near(int x, int width) const {
    return On() && std::abs(x - At(width)) <= kGrip;
}

void SplitView::Paint(QPainter& painter, const QRect& area, const QRect& view, int foot,
                      ShownImage& own, const ViewGeometry& geometry, const PixelLook& look) {
    const int at = At(view.width());
    const QRect left = area & QRect(QPoint(area.left(), area.top()), QPoint(at - 1, area.bottom()));
    const QRect right = area & QRect(QPoint(at, area.top()), QPoint(area.right(), area.bottom()));
    if (!left.isEmpty()) {
        PaintImagePixels(painter, left, own, geometry, look);
    }
    if (!right.isEmpty()) {
        PaintImagePixels(painter, right, m_image, geometry, look);
    }
    // Each half's name at its foot: the image starts at the top left, so
    // that is where the names hide least of it.
    PaintSplitDivider(painter, view, at, foot, m_leftName, m_rightName);
}

}  // namespace marrowix
