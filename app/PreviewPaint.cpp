// The preview's painting: the image as the view mode shows it, at the zoom,
// with the pinned texel's marker.
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "app/PreviewView.h"
#include "decode/Decode.h"

namespace marrowix {
namespace {

constexpr int kCheckerSize = 8;  // pixels of a checkerboard square
constexpr int kCheckerLight = 0xC0;
constexpr int kCheckerDark = 0x80;

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
    }
    return {};
}

QString PrecisionName(Precision precision) {
    return precision == Precision::kNibbles ? QStringLiteral("4-bit") : QStringLiteral("8-bit");
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
    }
    return pixel;
}

void PreviewView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect exposed = event->rect();
    painter.fillRect(exposed, palette().window());
    if (!HasImage()) {
        return;
    }
    const QPoint scroll = Scroll();
    const QRect shown(-scroll.x(), -scroll.y(), ScaledWidth(), ScaledHeight());
    const QRect area = exposed & shown;
    if (area.isEmpty()) {
        return;
    }
    // Only the pixels on the screen: each looks up its texel (nearest), so
    // no zoom step ever makes a scaled copy of the whole image.
    QImage pixels(area.size(), QImage::Format_RGB32);
    if (pixels.isNull()) {
        return;  // no memory for this paint; the next one tries again
    }
    std::vector<int> columns(static_cast<std::size_t>(area.width()));
    for (int x = 0; x < area.width(); ++x) {
        const int texel = static_cast<int>((area.left() + x + scroll.x()) / m_zoom);
        columns[static_cast<std::size_t>(x)] = std::min(texel, m_width - 1);
    }
    for (int y = 0; y < area.height(); ++y) {
        const int screenY = area.top() + y + scroll.y();
        const QRgb* src = Row(std::min(static_cast<int>(screenY / m_zoom), m_height - 1));
        auto* dst = reinterpret_cast<QRgb*>(pixels.scanLine(y));
        if (m_mode == ViewMode::kRgb) {
            for (int x = 0; x < area.width(); ++x) {
                dst[x] = src[columns[static_cast<std::size_t>(x)]] | 0xFF000000u;
            }
            continue;
        }
        for (int x = 0; x < area.width(); ++x) {
            const int screenX = area.left() + x + scroll.x();
            const bool light = ((screenX / kCheckerSize) + (screenY / kCheckerSize)) % 2 == 0;
            dst[x] = ShowPixel(src[columns[static_cast<std::size_t>(x)]], m_mode,
                               light ? kCheckerLight : kCheckerDark, m_precision);
        }
    }
    painter.drawImage(area.topLeft(), pixels);

    if (m_pinned) {
        // A marker around the pinned texel, visible on light and dark texels.
        const QPoint corner = ViewportPointOf(*m_pinned);
        const int side = std::max(1, static_cast<int>(std::ceil(m_zoom)));
        const QRect texel(corner, QSize(side, side));
        painter.setPen(QPen(Qt::black, 1));
        painter.drawRect(texel.adjusted(-2, -2, 1, 1));
        painter.setPen(QPen(Qt::yellow, 1));
        painter.drawRect(texel.adjusted(-1, -1, 0, 0));
    }
}

}  // namespace marrowix
