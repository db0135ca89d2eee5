#include "app/preview/PreviewPainting.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "app/preview/PreviewMips.h"
#include "thumbnails/Checker.h"

namespace marrowix {
namespace {

constexpr int kFrameGrey = 0x40;  // the line along the image's edges

// At most this many source pixels along each axis are averaged for one
// screen pixel: evenly spread where it covers more.
constexpr int kMaxSamples = 4;
// Images up to this many texels keep halved levels for zooming out (a third
// more memory); larger ones are sampled.
constexpr std::uint64_t kMipTexels = std::uint64_t{64} << 20;

// The source pixels one screen pixel covers along one axis, as up to
// kMaxSamples of them `step` apart.
struct Span {
    int first;
    int count;
    int step;
};

// For each of `n` device pixels from `start` (in device pixels from the
// image's edge), the source pixels it covers in a level `size` pixels long
// that holds `perPixel` device pixels per pixel: one pixel when magnified or
// at an exact power of two, the pixels under it otherwise; none for a pixel
// at or past `end`, the image's far edge.
std::vector<Span> Spans(double start, int n, double perPixel, int size, double end) {
    std::vector<Span> spans(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        if (start + i >= end) {
            spans[static_cast<std::size_t>(i)] = {0, 0, 1};
            continue;
        }
        const double from = (start + i) / perPixel;
        const double to = (start + i + 1) / perPixel;
        const int first = std::min(static_cast<int>(from), size - 1);
        const int last = std::clamp(static_cast<int>(std::ceil(to - 1e-9)), first + 1, size);
        const int covered = perPixel >= 1 ? 1 : last - first;
        const int step = (covered + kMaxSamples - 1) / kMaxSamples;
        spans[static_cast<std::size_t>(i)] = {first, (covered + step - 1) / step, step};
    }
    return spans;
}

}  // namespace

QRgb PixelLook::Level(QRgb pixel) const {
    if (precision == Precision::kNibbles) {
        // The preview block's n x 16 as the exact n x 17.
        pixel = ExactPixel(pixel);
    }
    return levels.Apply(pixel, table);
}

QImage PixelLook::Level(QImage image) const {
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            row[x] = Level(row[x]);
        }
    }
    return image;
}

void PaintImagePixels(QPainter& painter, const QRect& area, ShownImage& image,
                      const ViewGeometry& geometry, const PixelLook& look) {
    PreviewMips& mips = image.Mips();
    auto imageRow = [&image](int y) { return image.Row(y); };
    const double ratio = geometry.ratio;
    const QPoint scroll = geometry.scroll;
    const int width = geometry.width;
    const int height = geometry.height;
    const double zoom = geometry.zoom;
    const QSize device(static_cast<int>(std::ceil(area.width() * ratio)),
                       static_cast<int>(std::ceil(area.height() * ratio)));
    QImage pixels(device, QImage::Format_RGB32);
    if (pixels.isNull()) {
        return;  // no memory for this paint; the next one tries again
    }
    pixels.setDevicePixelRatio(ratio);
    int level = 0;
    double perPixel = zoom;  // device pixels per pixel of the level
    if (zoom < 1 && std::uint64_t(width) * std::uint64_t(height) <= kMipTexels) {
        level = static_cast<int>(std::floor(std::log2(1 / zoom) + 1e-9));
        try {
            mips.Build(width, height, level, imageRow);
        } catch (const std::bad_alloc&) {
            mips.Clear();  // no memory for the levels: the nearest texel, as magnified
        }
        level = std::min(level, mips.Levels());
        perPixel = zoom * std::exp2(level);
    }
    const int levelWidth = level == 0 ? width : mips.Width(level);
    const int levelHeight = level == 0 ? height : mips.Height(level);
    auto row = [&](int y) { return level == 0 ? imageRow(y) : mips.Row(level, y); };
    const double startX = (area.left() + scroll.x()) * ratio;
    const double startY = (area.top() + scroll.y()) * ratio;
    const std::vector<Span> columns =
        Spans(startX, device.width(), perPixel, levelWidth, width * zoom);
    const std::vector<Span> rows =
        Spans(startY, device.height(), perPixel, levelHeight, height * zoom);
    const double checker = kCheckerSquare * ratio;
    // Where every column shows one source pixel (or none, past the image's
    // right edge, which only the last columns can be): those pixels, and how
    // many columns lie inside the image.
    std::vector<int> firsts(columns.size());
    int inside = 0;
    bool nearest = true;
    for (std::size_t x = 0; x < columns.size(); ++x) {
        firsts[x] = columns[x].first;
        inside += columns[x].count > 0 ? 1 : 0;
        nearest = nearest && columns[x].count <= 1;
    }
    for (int y = 0; y < device.height(); ++y) {
        const Span r = rows[static_cast<std::size_t>(y)];
        auto* dst = reinterpret_cast<QRgb*>(pixels.scanLine(y));
        if (r.count == 0) {
            std::fill(dst, dst + device.width(), kBeyondImage);  // past the image's bottom edge
            continue;
        }
        const QRgb* src[kMaxSamples];
        for (int k = 0; k < r.count; ++k) {
            src[k] = row(r.first + k * r.step);
        }
        const bool leveled = look.Leveled();
        if (look.mode == ViewMode::kRgb && r.count == 1 && nearest && !leveled) {
            // The common case, magnified or at real size: one lookup a pixel.
            for (int x = 0; x < inside; ++x) {
                dst[x] = src[0][firsts[static_cast<std::size_t>(x)]] | 0xFF000000u;
            }
            std::fill(dst + inside, dst + device.width(), kBeyondImage);
            continue;
        }
        const int checkerY = static_cast<int>((startY + y) / checker);
        for (int x = 0; x < device.width(); ++x) {
            const Span c = columns[static_cast<std::size_t>(x)];
            if (c.count == 0) {
                dst[x] = kBeyondImage;  // past the image's right edge
                continue;
            }
            QRgb pixel = r.count == 1 && c.count == 1
                             ? src[0][c.first]
                             : AveragePixels(src, r.count, c.first, c.count, c.step);
            if (leveled) {
                pixel = look.Level(pixel);  // now 8-bit values
            }
            if (look.mode == ViewMode::kRgb) {
                dst[x] = pixel | 0xFF000000u;
                continue;
            }
            dst[x] = ShowPixel(pixel, look.mode,
                               CheckerGrey(static_cast<int>((startX + x) / checker), checkerY),
                               leveled ? Precision::kFull : look.precision);
        }
    }
    painter.drawImage(area.topLeft(), pixels);
}

void PaintFrame(QPainter& painter, const ViewGeometry& geometry) {
    // Placed in device pixels, so that it meets the image's edge at any
    // scale.
    const double ratio = geometry.ratio;
    painter.save();
    painter.scale(1 / ratio, 1 / ratio);
    const double left = std::round(-geometry.scroll.x() * ratio);
    const double top = std::round(-geometry.scroll.y() * ratio);
    const double width = std::ceil(geometry.width * geometry.zoom);
    const double height = std::ceil(geometry.height * geometry.zoom);
    const QColor frame(kFrameGrey, kFrameGrey, kFrameGrey);
    painter.fillRect(QRectF(left - 1, top - 1, width + 2, 1), frame);
    painter.fillRect(QRectF(left - 1, top + height, width + 2, 1), frame);
    painter.fillRect(QRectF(left - 1, top, 1, height), frame);
    painter.fillRect(QRectF(left + width, top, 1, height), frame);
    painter.restore();
}

void PaintPinMarker(QPainter& painter, const ViewGeometry& geometry, QPoint texel) {
    const double pixel = 1 / geometry.ratio;  // one device pixel, in logical units
    const double scale = geometry.Scale();
    const QRectF area(texel.x() * scale - geometry.scroll.x(),
                      texel.y() * scale - geometry.scroll.y(), std::max(scale, pixel),
                      std::max(scale, pixel));
    painter.setPen(QPen(Qt::black, 0));
    painter.drawRect(area.adjusted(-2 * pixel, -2 * pixel, pixel, pixel));
    painter.setPen(QPen(Qt::yellow, 0));
    painter.drawRect(area.adjusted(-pixel, -pixel, 0, 0));
}

void PaintRegionOutline(QPainter& painter, const ViewGeometry& geometry, const QRect& region) {
    const QRectF r = geometry.Area(region);
    painter.setPen(QPen(Qt::white, 0));
    painter.drawRect(r);
    painter.setPen(QPen(Qt::black, 0, Qt::DashLine));
    painter.drawRect(r);
}

void PaintSplitDivider(QPainter& painter, const QRect& view, int at, int foot,
                       const QString& leftName, const QString& rightName) {
    painter.fillRect(QRect(at - 1, view.top(), 2, view.height()), Qt::white);
    painter.fillRect(QRect(at, view.top(), 1, view.height()), Qt::black);
    const QFontMetrics metrics = painter.fontMetrics();
    auto label = [&](const QString& text, int x) {
        const QRect box(x, foot - 1 - metrics.height(), metrics.horizontalAdvance(text) + 6,
                        metrics.height());
        painter.fillRect(box, QColor(0, 0, 0, 160));
        painter.setPen(Qt::white);
        painter.drawText(box, Qt::AlignCenter, text);
    };
    const QString leftText = QStringLiteral("A: ") + leftName;
    const QString rightText = QStringLiteral("B: ") + rightName;
    label(leftText, std::max(view.left() + 2, at - metrics.horizontalAdvance(leftText) - 10));
    label(rightText, at + 4);
}

}  // namespace marrowix
