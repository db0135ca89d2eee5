// The preview's split view: another image of the same size (the other
// encoding or version) shown right of a divider the user drags, the view's
// own image left of it, at the same zoom and scroll, each half named.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

#include "app/preview/PreviewPainting.h"
#include "app/preview/ShownImage.h"
#include "app/preview/ViewGeometry.h"

class QPainter;

namespace marrowix {

class SplitView {
public:
    // Takes `dib` as the other image when it is of `size`; otherwise, or with
    // an empty `dib`, the split ends.
    void Set(Buffer<std::uint8_t> dib, const ImageView& size, const QString& leftName,
             const QString& rightName);
    void Clear() { m_image.Clear(); }
    bool On() const { return !m_image.Empty(); }
    // The other image while the split is on; null otherwise.
    const ShownImage* Image() const { return On() ? &m_image : nullptr; }
    const QString& RightName() const { return m_rightName; }

    // The divider's place in a viewport `width` pixels wide.
    int At(int width) const { return static_cast<int>(m_fraction * width); }
    void SetAt(int x, int width);
    // Whether a point at `x` takes the divider.
    bool Near(int x, int width) const;
    bool dragging = false;

    // Both halves within `area`, the divider across `view` and the names
    // above `foot`.
    void Paint(QPainter& painter, const QRect& area, const QRect& view, int foot, ShownImage& own,
               const ViewGeometry& geometry, const PixelLook& look);

private:
    ShownImage m_image;
    QString m_leftName;
    QString m_rightName;
    double m_fraction = 0.5;  // of the viewport's width
};

}  // namespace marrowix
