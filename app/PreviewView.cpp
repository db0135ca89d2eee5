#include "app/PreviewView.h"

#include "decode/Decode.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace marrowix {
namespace {

constexpr int kCheckerSize = 8;  // pixels of a checkerboard square
constexpr int kCheckerLight = 0xC0;
constexpr int kCheckerDark = 0x80;

// A preview channel (a nibble in the high half of its byte) widened to the
// full range: 0xF0 becomes 0xFF.
int Widen(int byte) {
    return byte | (byte >> 4);
}

QString Hex(std::uint64_t value, int digits) {
    return QStringLiteral("0x") +
           QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

// The largest extent, in viewport pixels, the image is ever drawn at: well
// within what an int and Qt's scroll bars hold, with room for the viewport.
constexpr double kMaxExtent = double(1 << 30);

// A scaled size or position as an int, clamped to the drawable range.
int ClampToInt(double value) {
    if (!(value > -kMaxExtent)) {  // also NaN
        return -static_cast<int>(kMaxExtent);
    }
    return static_cast<int>(std::min(value, kMaxExtent));
}

QString ZoomText(double zoom) {
    return QString::number(zoom * 100, 'g', 4) + QLatin1Char('%');
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

QRgb ShowPixel(QRgb pixel, ViewMode mode, int checker) {
    switch (mode) {
        case ViewMode::kRgb:
            return pixel | 0xFF000000u;  // the fourth byte plays no part
        case ViewMode::kRgba: {
            const int a = Widen(qAlpha(pixel));
            auto blend = [&](int c) { return (c * a + checker * (255 - a) + 127) / 255; };
            return qRgb(blend(qRed(pixel)), blend(qGreen(pixel)), blend(qBlue(pixel)));
        }
        case ViewMode::kRed:
            return qRgb(Widen(qRed(pixel)), Widen(qRed(pixel)), Widen(qRed(pixel)));
        case ViewMode::kGreen:
            return qRgb(Widen(qGreen(pixel)), Widen(qGreen(pixel)), Widen(qGreen(pixel)));
        case ViewMode::kBlue:
            return qRgb(Widen(qBlue(pixel)), Widen(qBlue(pixel)), Widen(qBlue(pixel)));
        case ViewMode::kAlpha:
            return qRgb(Widen(qAlpha(pixel)), Widen(qAlpha(pixel)), Widen(qAlpha(pixel)));
    }
    return pixel;
}

PreviewView::PreviewView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void PreviewView::SetTexture(Buffer<std::uint8_t> dib, const CTextureSet* set, std::size_t index) {
    const BITMAPINFOHEADER h = ReadDibHeader(dib);
    const bool usable =
        h.biBitCount == 32 && h.biWidth > 0 && h.biHeight > 0 &&
        dib.size() - kDibHeaderSize == std::size_t(h.biWidth) * std::size_t(h.biHeight) * 4;
    m_dib = usable ? std::move(dib) : Buffer<std::uint8_t>();
    m_width = usable ? h.biWidth : 0;
    m_height = usable ? h.biHeight : 0;
    m_set = set;
    m_index = index;
    m_pinned.reset();
    m_hover.reset();
    m_zoom = std::min(m_zoom, MaxZoom());
    if (m_fit) {
        Fit();
    }
    UpdateScrollRanges();
    const QPoint pointer = viewport()->mapFromGlobal(QCursor::pos());
    if (viewport()->rect().contains(pointer) && viewport()->underMouse()) {
        m_hover = TexelAt(pointer);
    }
    viewport()->update();
    UpdateReadout();
}

const QRgb* PreviewView::Row(int y) const {
    // The block stores its rows bottom up.
    return reinterpret_cast<const QRgb*>(m_dib.data() + kDibHeaderSize +
                                         std::size_t(m_height - 1 - y) * std::size_t(m_width) * 4);
}

QImage PreviewView::Image() const {
    if (!HasImage()) {
        return {};
    }
    QImage image(m_width, m_height, QImage::Format_ARGB32);
    if (image.isNull()) {
        return image;  // no memory for the copy
    }
    for (int y = 0; y < m_height; ++y) {
        std::memcpy(image.scanLine(y), Row(y), std::size_t(m_width) * 4);
    }
    return image;
}

void PreviewView::ReleaseImageMemory() {
    m_dib = Buffer<std::uint8_t>();
    m_width = 0;
    m_height = 0;
}

void PreviewView::ForgetSet() {
    m_set = nullptr;
    UpdateReadout();
}

void PreviewView::SetMode(ViewMode mode) {
    m_mode = mode;
    viewport()->update();
    UpdateReadout();
}

QPoint PreviewView::Scroll() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

double PreviewView::MaxZoom() const {
    // The whole image stays reachable: its scaled extent fits the drawable
    // range, so a very wide texture zooms in less far.
    double zoom = kMaxZoom;
    const double longest = std::max(m_width, m_height);
    while (zoom > kMinZoom && longest * zoom > kMaxExtent) {
        zoom /= 2;
    }
    return zoom;
}

int PreviewView::ScaledWidth() const {
    return HasImage() ? ClampToInt(std::ceil(m_width * m_zoom)) : 0;
}

int PreviewView::ScaledHeight() const {
    return HasImage() ? ClampToInt(std::ceil(m_height * m_zoom)) : 0;
}

void PreviewView::SetZoom(double zoom, QPoint about) {
    // The texel under `about` stays under it.
    const double sx = (about.x() + Scroll().x()) / m_zoom;
    const double sy = (about.y() + Scroll().y()) / m_zoom;
    m_zoom = std::min(zoom, MaxZoom());
    UpdateScrollRanges();
    horizontalScrollBar()->setValue(ClampToInt(std::round(sx * m_zoom - about.x())));
    verticalScrollBar()->setValue(ClampToInt(std::round(sy * m_zoom - about.y())));
    if (m_hover) {
        m_hover = TexelAt(viewport()->mapFromGlobal(QCursor::pos()));
    }
    viewport()->update();
    UpdateReadout();
}

void PreviewView::ZoomIn(QPoint about) {
    // The next power of two above the current zoom, which may be a fit.
    const double step = std::floor(std::log2(m_zoom) + 1e-9) + 1;
    m_fit = false;
    SetZoom(std::min(MaxZoom(), std::exp2(step)), about);
}

void PreviewView::ZoomOut(QPoint about) {
    const double step = std::ceil(std::log2(m_zoom) - 1e-9) - 1;
    m_fit = false;
    SetZoom(std::max(kMinZoom, std::exp2(step)), about);
}

void PreviewView::RealSize() {
    m_fit = false;
    SetZoom(1, {0, 0});
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

void PreviewView::Fit() {
    m_fit = true;
    double zoom = 1;
    if (HasImage()) {
        const QSize room = maximumViewportSize();
        zoom = std::min(double(room.width()) / m_width, double(room.height()) / m_height);
        zoom = std::max(zoom, 1.0 / 4096);
    }
    m_zoom = zoom;
    UpdateScrollRanges();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    viewport()->update();
    UpdateReadout();
}

void PreviewView::UpdateScrollRanges() {
    const QSize room = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, ScaledWidth() - room.width()));
    verticalScrollBar()->setRange(0, std::max(0, ScaledHeight() - room.height()));
    horizontalScrollBar()->setPageStep(room.width());
    verticalScrollBar()->setPageStep(room.height());
    const int step = std::max(1, static_cast<int>(m_zoom)) * 8;
    horizontalScrollBar()->setSingleStep(step);
    verticalScrollBar()->setSingleStep(step);
}

std::optional<QPoint> PreviewView::TexelAt(QPoint p) const {
    if (!HasImage()) {
        return std::nullopt;
    }
    const double x = std::floor((p.x() + Scroll().x()) / m_zoom);
    const double y = std::floor((p.y() + Scroll().y()) / m_zoom);
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) {
        return std::nullopt;
    }
    return QPoint(static_cast<int>(x), static_cast<int>(y));
}

QPoint PreviewView::ViewportPointOf(QPoint texel) const {
    return QPoint(ClampToInt(std::floor(texel.x() * m_zoom) - Scroll().x()),
                  ClampToInt(std::floor(texel.y() * m_zoom) - Scroll().y()));
}

void PreviewView::Pin(QPoint texel) {
    m_pinned = texel;
    viewport()->update();
    UpdateReadout();
}

void PreviewView::Unpin() {
    m_pinned.reset();
    viewport()->update();
    UpdateReadout();
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
                               light ? kCheckerLight : kCheckerDark);
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

void PreviewView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    if (m_fit) {
        Fit();
    } else {
        UpdateScrollRanges();
    }
}

void PreviewView::scrollContentsBy(int, int) {
    viewport()->update();
}

void PreviewView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        m_dragging = false;
        m_pressAt = event->position().toPoint();
        m_pressScroll = Scroll();
        return;
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void PreviewView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (m_pressed) {
        if (!m_dragging &&
            (at - m_pressAt).manhattanLength() >= QApplication::startDragDistance()) {
            m_dragging = true;
            viewport()->setCursor(Qt::ClosedHandCursor);
        }
        if (m_dragging) {
            horizontalScrollBar()->setValue(m_pressScroll.x() - (at.x() - m_pressAt.x()));
            verticalScrollBar()->setValue(m_pressScroll.y() - (at.y() - m_pressAt.y()));
        }
    }
    const std::optional<QPoint> texel = TexelAt(at);
    if (texel != m_hover) {
        m_hover = texel;
        UpdateReadout();
    }
}

void PreviewView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_pressed) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    m_pressed = false;
    if (m_dragging) {
        m_dragging = false;
        viewport()->unsetCursor();
        return;
    }
    // A click pins the readout to a texel; a click beside the image unpins.
    if (const std::optional<QPoint> texel = TexelAt(event->position().toPoint())) {
        Pin(*texel);
    } else {
        Unpin();
    }
}

bool PreviewView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Leave) {
        m_hover.reset();
        UpdateReadout();
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void PreviewView::wheelEvent(QWheelEvent* event) {
    if ((event->modifiers() & Qt::ControlModifier) == 0) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    const QPoint about = viewport()->mapFrom(this, event->position().toPoint());
    if (event->angleDelta().y() > 0) {
        ZoomIn(about);
    } else if (event->angleDelta().y() < 0) {
        ZoomOut(about);
    }
    event->accept();
}

QString PreviewView::TexelText(QPoint texel) const {
    const QRgb pixel = Row(texel.y())[texel.x()];
    int value = ((qRed(pixel) >> 4) << 12) | ((qGreen(pixel) >> 4) << 8) |
                ((qBlue(pixel) >> 4) << 4) | (qAlpha(pixel) >> 4);
    std::optional<TexelLocation> where;
    if (m_set != nullptr) {
        Result<TexelLocation> found =
            LocateTexel(*m_set, m_index, static_cast<std::uint32_t>(texel.x()),
                        static_cast<std::uint32_t>(texel.y()));
        if (found.ok()) {
            where = std::move(found.value);
            value = where->texel;
        }
    }
    QString text = QStringLiteral("x %1, y %2  %3 (R %4 G %5 B %6 A %7)")
                       .arg(texel.x())
                       .arg(texel.y())
                       .arg(Hex(static_cast<std::uint64_t>(value), 4))
                       .arg(value >> 12)
                       .arg((value >> 8) & 15)
                       .arg((value >> 4) & 15)
                       .arg(value & 15);
    if (!where) {
        return text;
    }
    const bool missing = where->bytes.empty();
    const bool partly = !missing && where->bytes.size() < where->size;
    if (!where->hasBlock) {
        text += QStringLiteral("  at %1").arg(Hex(where->offset, 1));
    } else {
        text += QStringLiteral("  block %1,%2 at %3")
                    .arg(where->blockColumn)
                    .arg(where->blockRow)
                    .arg(Hex(where->offset, 1));
        if (!missing) {
            text += QStringLiteral("  c0 %1 c1 %2  a0 %3 a1 %4  colour %5 alpha %6")
                        .arg(Hex(where->colour0, 4), Hex(where->colour1, 4))
                        .arg(where->alpha0)
                        .arg(where->alpha1)
                        .arg(where->colourIndex)
                        .arg(where->alphaIndex);
        }
    }
    if (missing) {
        text += QStringLiteral(", beyond the end of the data file");
    } else if (partly) {
        text += QStringLiteral(", partly beyond the end of the data file");
    }
    return text;
}

QString PreviewView::ReadoutText() const {
    QString state = ViewModeName(m_mode) + QStringLiteral("  ") +
                    (m_fit ? QStringLiteral("fit ") : QString()) + ZoomText(m_zoom);
    const std::optional<QPoint> texel = m_pinned ? m_pinned : m_hover;
    if (!texel || !HasImage()) {
        return state;
    }
    return state + QStringLiteral("  |  ") + (m_pinned ? QStringLiteral("pinned ") : QString()) +
           TexelText(*texel);
}

void PreviewView::UpdateReadout() {
    emit readoutChanged(ReadoutText());
}

}  // namespace marrowix
