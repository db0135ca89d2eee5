#include "app/preview/PreviewView.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/preview/ReadoutText.h"

namespace marrowix {

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
    const int width = m_shown.Width();
    const int height = m_shown.Height();
    const bool same = m_keepPin || (set == m_set && index == m_index);
    m_keepPin = false;
    if (set != nullptr) {
        m_encoding = set->GetMode() == kModeDxt ? QStringLiteral("dxt") : QStringLiteral("etc");
    }
    m_set = std::move(set);
    m_index = index;
    if (!same || !usable || (m_pinned && (m_pinned->x() >= width || m_pinned->y() >= height))) {
        m_pinned.reset();
    }
    if (m_region && (!same || !usable || !QRect(0, 0, width, height).contains(*m_region))) {
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

QImage PreviewView::Image() const {
    return m_shown.Copy();
}

void PreviewView::ReleaseImageMemory() {
    m_split.Clear();
    m_shown.Clear();
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
    m_look.precision = precision;
    viewport()->update();
    UpdateReadout();
}

void PreviewView::SetMode(ViewMode mode) {
    m_look.mode = mode;
    viewport()->update();
    UpdateReadout();
}

QPoint PreviewView::Scroll() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

ViewGeometry PreviewView::Geometry() const {
    return {m_shown.Width(),    m_shown.Height(), m_zoom,
            DevicePixelRatio(), Scroll(),         viewport()->size()};
}

double PreviewView::MaxZoom() const {
    return Geometry().MaxZoom(kMaxZoom, kMinZoom);
}

double PreviewView::DevicePixelRatio() const {
    return std::max(1.0 / 64, viewport()->devicePixelRatioF());
}

void PreviewView::SetZoom(double zoom, QPoint about) {
    // The texel under `about` stays under it.
    const double before = Geometry().Scale();
    const double sx = (about.x() + Scroll().x()) / before;
    const double sy = (about.y() + Scroll().y()) / before;
    m_zoom = std::min(zoom, MaxZoom());
    UpdateScrollRanges();
    const double scale = Geometry().Scale();
    horizontalScrollBar()->setValue(ClampToInt(std::round(sx * scale - about.x())));
    verticalScrollBar()->setValue(ClampToInt(std::round(sy * scale - about.y())));
    if (m_hover) {
        m_hover = TexelAt(viewport()->mapFromGlobal(QCursor::pos()));
    }
    viewport()->update();
    UpdateReadout();
}

void PreviewView::ZoomIn(QPoint about) {
    m_fit = false;
    SetZoom(std::min(MaxZoom(), ZoomStepIn(m_zoom)), about);
}

void PreviewView::ZoomOut(QPoint about) {
    m_fit = false;
    SetZoom(std::max(kMinZoom, ZoomStepOut(m_zoom)), about);
}

void PreviewView::RealSize() {
    m_fit = false;
    SetZoom(1, {0, 0});
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

void PreviewView::Fit() {
    m_fit = true;
    m_zoom = Geometry().FitZoom(maximumViewportSize());
    UpdateScrollRanges();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    viewport()->update();
    UpdateReadout();
}

void PreviewView::UpdateScrollRanges() {
    const QSize room = viewport()->size();
    const ViewGeometry geometry = Geometry();
    horizontalScrollBar()->setRange(0, std::max(0, geometry.ScaledWidth() - room.width()));
    verticalScrollBar()->setRange(0, std::max(0, geometry.ScaledHeight() - room.height()));
    horizontalScrollBar()->setPageStep(room.width());
    verticalScrollBar()->setPageStep(room.height());
    const int step = std::max(1, static_cast<int>(geometry.Scale())) * 8;
    horizontalScrollBar()->setSingleStep(step);
    verticalScrollBar()->setSingleStep(step);
}

std::optional<QPoint> PreviewView::TexelAt(QPoint p) const {
    return Geometry().TexelAt(p);
}

QPoint PreviewView::ViewportPointOf(QPoint texel) const {
    return Geometry().ViewportPointOf(texel);
}

QRect PreviewView::VisibleTexels() const {
    return Geometry().VisibleTexels();
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
        m_regionFrom = TexelAt(event->position().toPoint());
        if (m_regionFrom) {
            SetRegion(QRect(*m_regionFrom, QSize(1, 1)));
        }
        return;
    }
    if (event->button() == Qt::LeftButton &&
        m_split.Near(event->position().toPoint().x(), viewport()->width())) {
        m_split.dragging = true;
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
    if (m_split.dragging) {
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
    if (event->button() == Qt::LeftButton && m_split.dragging) {
        m_split.dragging = false;
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

void PreviewView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect exposed = event->rect();
    if (!HasImage()) {
        painter.fillRect(exposed, palette().window());
        return;
    }
    // Beyond the image a mid grey, and a line along its edges, so that a
    // white or light grey texture's edge shows.
    painter.fillRect(exposed, QColor(kBeyondImage));
    const ViewGeometry geometry = Geometry();
    const QRect area = exposed & geometry.Shown();
    if (!area.isEmpty() && Splitting()) {
        m_split.Paint(painter, area, viewport()->rect(), SplitFoot(painter.fontMetrics().height()),
                      m_shown, geometry, m_look);
    } else if (!area.isEmpty()) {
        PaintImagePixels(painter, area, m_shown, geometry, m_look);
    }
    PaintFrame(painter, geometry);
    if (m_region) {
        PaintRegionOutline(painter, geometry, *m_region);
    }
    if (m_pinned) {
        PaintPinMarker(painter, geometry, *m_pinned);
    }
}

void PreviewView::ExtendRegion(QPoint viewportPoint) {
    // Beyond the image's edge the region stops at it.
    const QPoint to = Geometry().NearestTexel(viewportPoint);
    const QPoint from = *m_regionFrom;
    SetRegion(QRect(QPoint(std::min(from.x(), to.x()), std::min(from.y(), to.y())),
                    QPoint(std::max(from.x(), to.x()), std::max(from.y(), to.y()))));
}

void PreviewView::SetRegion(std::optional<QRect> region) {
    if (region) {
        *region &= QRect(0, 0, m_shown.Width(), m_shown.Height());
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

void PreviewView::SetLevels(const Levels& levels) {
    if (levels == m_look.levels) {
        return;
    }
    m_look.SetLevels(levels);
    viewport()->update();
    UpdateReadout();
}

QImage PreviewView::LeveledImage() const {
    return m_look.Level(Image());
}

void PreviewView::SetSplit(Buffer<std::uint8_t> dib, const QString& leftName,
                           const QString& rightName) {
    m_split.Set(HasImage() ? std::move(dib) : Buffer<std::uint8_t>(), m_shown.Pixels(), leftName,
                rightName);
    viewport()->update();
    UpdateReadout();
}

int PreviewView::SplitAt() const {
    return m_split.At(viewport()->width());
}

void PreviewView::SetSplitAt(int x) {
    m_split.SetAt(x, viewport()->width());
    viewport()->update();
}

void PreviewView::SetFootCover(QWidget* cover) {
    m_footCover = cover;
    cover->installEventFilter(this);
}

int PreviewView::SplitFoot(int lineHeight) const {
    const QRect view = viewport()->rect();
    if (m_footCover != nullptr && m_footCover->isVisible() &&
        m_footCover->parentWidget() == parentWidget()) {
        const QRect cover(viewport()->mapFrom(parentWidget(), m_footCover->geometry().topLeft()),
                          m_footCover->size());
        if (cover.intersects(view)) {
            return std::max(view.top() + lineHeight + 1, cover.top() - 1);
        }
    }
    return view.bottom();
}

bool PreviewView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_footCover && Splitting() &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        viewport()->update();
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

QString PreviewView::ReadoutText() const {
    return PreviewReadout({{m_encoding, m_look.mode, m_look.precision, m_difference, m_fit, m_zoom,
                            m_sourceNote, m_look.levels, m_region},
                           m_pinned ? m_pinned : m_hover,
                           m_pinned.has_value(),
                           &m_shown,
                           m_set.get(),
                           m_index,
                           m_split.Image(),
                           m_split.RightName()});
}

void PreviewView::UpdateReadout() {
    emit readoutChanged(ReadoutText());
}

}  // namespace marrowix
