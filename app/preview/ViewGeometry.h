// Where the preview's image lies in its viewport: the image's size in
// texels, the zoom (device pixels per texel), the screen's device pixels per
// logical pixel, the scroll position and the viewport's size, in logical
// pixels. A value the view makes from its state whenever it maps a point, so
// that every mapping between texels and the viewport is one function here.
#pragma once

#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <optional>

namespace marrowix {

// The largest extent, in viewport pixels, the image is ever drawn at: well
// within what an int and Qt's scroll bars hold, with room for the viewport.
inline constexpr double kMaxExtent = double(1 << 30);

// A scaled size or position as an int, clamped to the drawable range.
int ClampToInt(double value);

// The power of two next above `zoom` (which may be a fit's), and next
// below it.
double ZoomStepIn(double zoom);
double ZoomStepOut(double zoom);

struct ViewGeometry {
    int width = 0;
    int height = 0;
    double zoom = 1;
    double ratio = 1;
    QPoint scroll;
    QSize view;

    bool HasImage() const { return width > 0 && height > 0; }
    // Logical pixels per texel.
    double Scale() const { return zoom / ratio; }
    // The image's size at the zoom, in viewport pixels; 0 without one.
    int ScaledWidth() const;
    int ScaledHeight() const;
    // The image in viewport pixels.
    QRect Shown() const { return {-scroll.x(), -scroll.y(), ScaledWidth(), ScaledHeight()}; }
    // The largest zoom, up to `limit`, at which the whole image can still be
    // scrolled to: a very wide texture zooms in less far.
    double MaxZoom(double limit, double least) const;
    // The zoom at which the image fills `room` (logical pixels) along its
    // tighter side.
    double FitZoom(QSize room) const;

    // The texel at a point of the viewport, if the image is there.
    std::optional<QPoint> TexelAt(QPoint point) const;
    // The texel at a point, or beyond the image's edge the nearest on it.
    QPoint NearestTexel(QPoint point) const;
    // Where the viewport shows texel `texel`'s top-left corner.
    QPoint ViewportPointOf(QPoint texel) const;
    // The texels the viewport shows, whole or in part.
    QRect VisibleTexels() const;
    // Where the viewport shows `texels`, unrounded.
    QRectF Area(QRect texels) const;
};

}  // namespace marrowix
