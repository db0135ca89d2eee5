#include "app/preview/ViewGeometry.h"

#include <algorithm>
#include <cmath>

namespace marrowix {

int ClampToInt(double value) {
    if (!(value > -kMaxExtent)) {  // also NaN
        return -static_cast<int>(kMaxExtent);
    }
    return static_cast<int>(std::min(value, kMaxExtent));
}

double ZoomStepIn(double zoom) {
    return std::exp2(std::floor(std::log2(zoom) + 1e-9) + 1);
}

double ZoomStepOut(double zoom) {
    return std::exp2(std::ceil(std::log2(zoom) - 1e-9) - 1);
}

int ViewGeometry::ScaledWidth() const {
    return HasImage() ? ClampToInt(std::ceil(width * Scale())) : 0;
}

int ViewGeometry::ScaledHeight() const {
    return HasImage() ? ClampToInt(std::ceil(height * Scale())) : 0;
}

double ViewGeometry::MaxZoom(double limit, double least) const {
    // The scaled extent fits the drawable range.
    double result = limit;
    const double longest = std::max(width, height) / ratio;
    while (result > least && longest * result > kMaxExtent) {
        result /= 2;
    }
    return result;
}

double ViewGeometry::FitZoom(QSize room) const {
    if (!HasImage()) {
        return 1;
    }
    // The room in device pixels: the zoom counts texels per device pixel.
    const double fit =
        std::min(double(room.width()) / width, double(room.height()) / height) * ratio;
    return std::max(fit, 1.0 / 4096);
}

std::optional<QPoint> ViewGeometry::TexelAt(QPoint point) const {
    if (!HasImage()) {
        return std::nullopt;
    }
    const double x = std::floor((point.x() + scroll.x()) / Scale());
    const double y = std::floor((point.y() + scroll.y()) / Scale());
    if (x < 0 || y < 0 || x >= width || y >= height) {
        return std::nullopt;
    }
    return QPoint(static_cast<int>(x), static_cast<int>(y));
}

QPoint ViewGeometry::NearestTexel(QPoint point) const {
    const double scale = Scale();
    return {
        std::clamp(static_cast<int>((point.x() + scroll.x()) / scale), 0, std::max(0, width - 1)),
        std::clamp(static_cast<int>((point.y() + scroll.y()) / scale), 0, std::max(0, height - 1))};
}

QPoint ViewGeometry::ViewportPointOf(QPoint texel) const {
    return QPoint(ClampToInt(std::floor(texel.x() * Scale()) - scroll.x()),
                  ClampToInt(std::floor(texel.y() * Scale()) - scroll.y()));
}

QRect ViewGeometry::VisibleTexels() const {
    if (!HasImage()) {
        return {};
    }
    const double scale = Scale();
    const int x0 = static_cast<int>(scroll.x() / scale);
    const int y0 = static_cast<int>(scroll.y() / scale);
    const int x1 = static_cast<int>(std::ceil((scroll.x() + view.width()) / scale));
    const int y1 = static_cast<int>(std::ceil((scroll.y() + view.height()) / scale));
    return QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1)) & QRect(0, 0, width, height);
}

QRectF ViewGeometry::Area(QRect texels) const {
    const double scale = Scale();
    return {texels.x() * scale - scroll.x(), texels.y() * scale - scroll.y(),
            texels.width() * scale, texels.height() * scale};
}

}  // namespace marrowix
