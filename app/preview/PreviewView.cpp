#include "app/preview/PreviewView.h"

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

}  // namespace

PreviewView::PreviewView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void PreviewView::SetTexture(Buffer<std::uint8_t> dib, SharedSet set, std::size_t index) {
    const bool usable = m_shown.Take(std::move(dib));
    m_split.Clear();  // set again for the new image, if at all
    m_width = m_shown.Width();
    m_height = m_shown.Height();
    const bool same = m_keepPin || (set == m_set && index == m_index);
    m_keepPin = false;
    if (set != nullptr) {
        m_encoding = set->GetMode() == kModeDxt ? QStringLiteral("dxt") : QStringLiteral("etc");
    }
    m_set = std::move(set);
    m_index = index;
    if (!same || !usable || (m_pinned && (m_pinned->x() >= m_width || m_pinned->y() >= m_height))) {
        m_pinned.reset();
    }
    if (m_region && (!same || !usable || !QRect(0, 0, m_width, m_height).contains(*m_region))) {
        m_region.reset();  // of another texture
        m_regionFrom.reset();
        emit regionChanged();
    }
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

void PreviewView::SetSourceNote(const QString& note) {
    m_sourceNote = note;
    UpdateReadout();
}

void PreviewView::SetDifference(const PreviewDifference* difference) {
    m_difference = difference;
    UpdateReadout();
}

const QRgb* PreviewView::Row(int y) const {
    return m_shown.Row(y);
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
    m_split.Clear();
    m_shown.Clear();
    m_width = 0;
    m_height = 0;
}

void PreviewView::ForgetSet() {
    m_set = nullptr;
    UpdateReadout();
}

void PreviewView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    // Moved to a screen of another scale: one texel still covers as many
    // device pixels as the zoom says.
    if (event->type() == QEvent::ScreenChangeInternal) {
        if (m_fit) {
            Fit();
        } else {
            SetZoom(m_zoom, {0, 0});
        }
    }
}

void PreviewView::SetPrecision(Precision precision) {
    m_precision = precision;
    viewport()->update();
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
    const double longest = std::max(m_width, m_height) / DevicePixelRatio();
    while (zoom > kMinZoom && longest * zoom > kMaxExtent) {
        zoom /= 2;
    }
    return zoom;
}

double PreviewView::DevicePixelRatio() const {
    return std::max(1.0 / 64, viewport()->devicePixelRatioF());
}

double PreviewView::Scale() const {
    return m_zoom / DevicePixelRatio();
}

int PreviewView::ScaledWidth() const {
    return HasImage() ? ClampToInt(std::ceil(m_width * Scale())) : 0;
}

int PreviewView::ScaledHeight() const {
    return HasImage() ? ClampToInt(std::ceil(m_height * Scale())) : 0;
}

void PreviewView::SetZoom(double zoom, QPoint about) {
    // The texel under `about` stays under it.
    const double sx = (about.x() + Scroll().x()) / Scale();
    const double sy = (about.y() + Scroll().y()) / Scale();
    m_zoom = std::min(zoom, MaxZoom());
    UpdateScrollRanges();
    horizontalScrollBar()->setValue(ClampToInt(std::round(sx * Scale() - about.x())));
    verticalScrollBar()->setValue(ClampToInt(std::round(sy * Scale() - about.y())));
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
        // The room in device pixels: the zoom counts texels per device pixel.
        const QSize room = maximumViewportSize();
        zoom = std::min(double(room.width()) / m_width, double(room.height()) / m_height) *
               DevicePixelRatio();
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
    const int step = std::max(1, static_cast<int>(Scale())) * 8;
    horizontalScrollBar()->setSingleStep(step);
    verticalScrollBar()->setSingleStep(step);
}

std::optional<QPoint> PreviewView::TexelAt(QPoint p) const {
    if (!HasImage()) {
        return std::nullopt;
    }
    const double x = std::floor((p.x() + Scroll().x()) / Scale());
    const double y = std::floor((p.y() + Scroll().y()) / Scale());
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) {
        return std::nullopt;
    }
    return QPoint(static_cast<int>(x), static_cast<int>(y));
}

QPoint PreviewView::ViewportPointOf(QPoint texel) const {
    return QPoint(ClampToInt(std::floor(texel.x() * Scale()) - Scroll().x()),
                  ClampToInt(std::floor(texel.y() * Scale()) - Scroll().y()));
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
    if (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier) != 0) {
        BeginRegion(event->position().toPoint());
        return;
    }
    if (event->button() == Qt::LeftButton && NearDivider(event->position().toPoint())) {
        m_draggingDivider = true;
        return;
    }
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
    if (m_draggingDivider) {
        SetSplitAt(at.x());
    } else if (m_regionFrom) {
        ExtendRegion(at);
    } else if (m_pressed) {
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
    if (event->button() == Qt::LeftButton && m_draggingDivider) {
        m_draggingDivider = false;
        return;
    }
    if (event->button() == Qt::LeftButton && m_regionFrom) {
        m_regionFrom.reset();
        return;
    }
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

}  // namespace marrowix
