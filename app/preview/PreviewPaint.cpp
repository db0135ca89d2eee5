// The preview's painting: the image as the view mode shows it, at the zoom,
// with the pinned texel's marker.
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "app/preview/PreviewView.h"
#include "decode/Decode.h"

namespace marrowix {
namespace {

constexpr int kBeyondGrey = 0x80;  // beyond the image: neither white nor the dialog's grey
constexpr int kFrameGrey = 0x40;   // the line along the image's edges

// A channel as shown alone or as an alpha: from the preview block (a nibble
// in the high half of its byte) widened to the full range, 0xF0 becoming
// 0xFF; at full precision as it is.
int Widen(int byte, Precision precision) {
    return precision == Precision::kNibbles ? ExactFromPreviewByte(static_cast<std::uint8_t>(byte))
                                            : byte;
}

}  // namespace

QString ViewModeName(ViewMode mode) {
    switch (mode) {
        case ViewMode::kRgb:
            return QStringLiteral("RGB");
        case ViewMode::kRgba:
            return QStringLiteral("RGBA");
        case ViewMode::kRed:
            return QStringLiteral("R");
        case ViewMode::kGreen:
            return QStringLiteral("G");
        case ViewMode::kBlue:
            return QStringLiteral("B");
        case ViewMode::kAlpha:
            return QStringLiteral("A");
        case ViewMode::kDifference:
            return QStringLiteral("DIFF");
    }
    return {};
}

QString PrecisionName(Precision precision) {
    return precision == Precision::kNibbles ? QStringLiteral("4-bit") : QStringLiteral("8-bit");
}

QRgb ExactPixel(QRgb p) {
    auto exact = [](int v) { return ExactFromPreviewByte(static_cast<std::uint8_t>(v)); };
    return qRgba(exact(qRed(p)), exact(qGreen(p)), exact(qBlue(p)), exact(qAlpha(p)));
}

QRgb ShowPixel(QRgb pixel, ViewMode mode, int checker, Precision precision) {
    auto grey = [](int v) { return qRgb(v, v, v); };
    switch (mode) {
        case ViewMode::kRgb:
            return pixel | 0xFF000000u;  // the fourth byte plays no part
        case ViewMode::kRgba: {
            const int a = Widen(qAlpha(pixel), precision);
            auto blend = [&](int c) { return (c * a + checker * (255 - a) + 127) / 255; };
            return qRgb(blend(qRed(pixel)), blend(qGreen(pixel)), blend(qBlue(pixel)));
        }
        case ViewMode::kRed:
            return grey(Widen(qRed(pixel), precision));
        case ViewMode::kGreen:
            return grey(Widen(qGreen(pixel), precision));
        case ViewMode::kBlue:
            return grey(Widen(qBlue(pixel), precision));
        case ViewMode::kAlpha:
            return grey(Widen(qAlpha(pixel), precision));
        case ViewMode::kDifference: {
            // Each colour's difference, and a difference of alpha as grey
            // under them all.
            const int a = qAlpha(pixel);
            return qRgb(std::max(qRed(pixel), a), std::max(qGreen(pixel), a),
                        std::max(qBlue(pixel), a));
        }
    }
    return pixel;
}

namespace {

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

void PreviewView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect exposed = event->rect();
    if (!HasImage()) {
        painter.fillRect(exposed, palette().window());
        return;
    }
    // Beyond the image a mid grey, and a line along its edges, so that a
    // white or light grey texture's edge shows.
    const QRgb beyond = qRgb(kBeyondGrey, kBeyondGrey, kBeyondGrey);
    painter.fillRect(exposed, QColor(beyond));
    const QPoint scroll = Scroll();
    const QRect shown(-scroll.x(), -scroll.y(), ScaledWidth(), ScaledHeight());
    const QRect area = exposed & shown;
    const double ratio = DevicePixelRatio();
    if (!area.isEmpty()) {
        if (Splitting()) {
            PaintSplit(painter, area, beyond);
        } else {
            PaintImage(painter, area, beyond);
        }
    }
    // The frame: one device pixel outside the image on every side, placed
    // in device pixels so that it meets the image's edge at any scale.
    {
        painter.save();
        painter.scale(1 / ratio, 1 / ratio);
        const double left = std::round(-scroll.x() * ratio);
        const double top = std::round(-scroll.y() * ratio);
        const double width = std::ceil(m_width * m_zoom);
        const double height = std::ceil(m_height * m_zoom);
        const QColor frame(kFrameGrey, kFrameGrey, kFrameGrey);
        painter.fillRect(QRectF(left - 1, top - 1, width + 2, 1), frame);
        painter.fillRect(QRectF(left - 1, top + height, width + 2, 1), frame);
        painter.fillRect(QRectF(left - 1, top, 1, height), frame);
        painter.fillRect(QRectF(left + width, top, 1, height), frame);
        painter.restore();
    }
    const double pixel = 1 / ratio;  // one device pixel, in logical units
    PaintRegion(painter);

    if (m_pinned) {
        // A marker around the pinned texel, visible on light and dark texels:
        // lines one and two device pixels outside it, at any scale.
        const double scale = Scale();
        const QRectF texel(m_pinned->x() * scale - scroll.x(), m_pinned->y() * scale - scroll.y(),
                           std::max(scale, pixel), std::max(scale, pixel));
        painter.setPen(QPen(Qt::black, 0));
        painter.drawRect(texel.adjusted(-2 * pixel, -2 * pixel, pixel, pixel));
        painter.setPen(QPen(Qt::yellow, 0));
        painter.drawRect(texel.adjusted(-pixel, -pixel, 0, 0));
    }
}

// The image's pixels within `area` (viewport pixels), in device pixels:
// each looks up the texel it shows when magnified, or zoomed out the average
// of the texels it covers, from the level of the halved images nearest above
// the zoom. No zoom step makes a scaled copy of the whole image.
void PreviewView::PaintImage(QPainter& painter, const QRect& area, QRgb beyond, bool second) {
    ShownImage& image = second ? m_split : m_shown;
    PreviewMips& mips = image.Mips();
    auto imageRow = [&image](int y) { return image.Row(y); };
    const double ratio = DevicePixelRatio();
    const QPoint scroll = Scroll();
    const QSize device(static_cast<int>(std::ceil(area.width() * ratio)),
                       static_cast<int>(std::ceil(area.height() * ratio)));
    QImage pixels(device, QImage::Format_RGB32);
    if (pixels.isNull()) {
        return;  // no memory for this paint; the next one tries again
    }
    pixels.setDevicePixelRatio(ratio);
    int level = 0;
    double perPixel = m_zoom;  // device pixels per pixel of the level
    if (m_zoom < 1 && std::uint64_t(m_width) * std::uint64_t(m_height) <= kMipTexels) {
        level = static_cast<int>(std::floor(std::log2(1 / m_zoom) + 1e-9));
        try {
            mips.Build(m_width, m_height, level, imageRow);
        } catch (const std::bad_alloc&) {
            mips.Clear();  // no memory for the levels: the nearest texel, as magnified
        }
        level = std::min(level, mips.Levels());
        perPixel = m_zoom * std::exp2(level);
    }
    const int levelWidth = level == 0 ? m_width : mips.Width(level);
    const int levelHeight = level == 0 ? m_height : mips.Height(level);
    auto row = [&](int y) { return level == 0 ? imageRow(y) : mips.Row(level, y); };
    const double startX = (area.left() + scroll.x()) * ratio;
    const double startY = (area.top() + scroll.y()) * ratio;
    const std::vector<Span> columns =
        Spans(startX, device.width(), perPixel, levelWidth, m_width * m_zoom);
    const std::vector<Span> rows =
        Spans(startY, device.height(), perPixel, levelHeight, m_height * m_zoom);
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
            std::fill(dst, dst + device.width(), beyond);  // past the image's bottom edge
            continue;
        }
        const QRgb* src[kMaxSamples];
        for (int k = 0; k < r.count; ++k) {
            src[k] = row(r.first + k * r.step);
        }
        const bool leveled = !m_levels.IsIdentity() && m_mode != ViewMode::kDifference;
        if (m_mode == ViewMode::kRgb && r.count == 1 && nearest && !leveled) {
            // The common case, magnified or at real size: one lookup a pixel.
            for (int x = 0; x < inside; ++x) {
                dst[x] = src[0][firsts[static_cast<std::size_t>(x)]] | 0xFF000000u;
            }
            std::fill(dst + inside, dst + device.width(), beyond);
            continue;
        }
        const int checkerY = static_cast<int>((startY + y) / checker);
        for (int x = 0; x < device.width(); ++x) {
            const Span c = columns[static_cast<std::size_t>(x)];
            if (c.count == 0) {
                dst[x] = beyond;  // past the image's right edge
                continue;
            }
            QRgb pixel = r.count == 1 && c.count == 1
                             ? src[0][c.first]
                             : AveragePixels(src, r.count, c.first, c.count, c.step);
            if (leveled) {
                pixel = Leveled(pixel);  // now 8-bit values
            }
            if (m_mode == ViewMode::kRgb) {
                dst[x] = pixel | 0xFF000000u;
                continue;
            }
            dst[x] = ShowPixel(pixel, m_mode,
                               CheckerGrey(static_cast<int>((startX + x) / checker), checkerY),
                               leveled ? Precision::kFull : m_precision);
        }
    }
    painter.drawImage(area.topLeft(), pixels);
}

}  // namespace marrowix
