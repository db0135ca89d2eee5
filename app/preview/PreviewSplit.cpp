// The preview's split view: the other encoding's (or version's) image right
// of a divider the user drags, the view's own left of it, at the same zoom
// and scroll.
#include <QPainter>

#include "app/preview/PreviewView.h"

#include <QEvent>

namespace marrowix {
namespace {

constexpr int kGrip = 4;  // pixels either side of the divider that take it

}  // namespace

void PreviewView::SetSplit(Buffer<std::uint8_t> dib, const QString& leftName,
                           const QString& rightName) {
    if (HasImage()) {
        m_split.Take(std::move(dib), &m_shown.Pixels());
    } else {
        m_split.Clear();
    }
    m_leftName = leftName;
    m_rightName = rightName;
    viewport()->update();
    UpdateReadout();
}

const QRgb* PreviewView::SecondRow(int y) const {
    return m_split.Row(y);
}

int PreviewView::SplitAt() const {
    return static_cast<int>(m_splitFraction * viewport()->width());
}

void PreviewView::SetSplitAt(int x) {
    const int width = std::max(1, viewport()->width());
    m_splitFraction = std::clamp(static_cast<double>(x) / width, 0.0, 1.0);
    viewport()->update();
}

bool PreviewView::NearDivider(QPoint viewportPoint) const {
    return Splitting() && std::abs(viewportPoint.x() - SplitAt()) <= kGrip;
}

void PreviewView::SetFootCover(QWidget* cover) {
    m_footCover = cover;
    cover->installEventFilter(this);
}

bool PreviewView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_footCover && Splitting() &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        viewport()->update();
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void PreviewView::PaintSplit(QPainter& painter, const QRect& area, QRgb beyond) {
    const int at = SplitAt();
    const QRect left = area & QRect(QPoint(area.left(), area.top()), QPoint(at - 1, area.bottom()));
    const QRect right = area & QRect(QPoint(at, area.top()), QPoint(area.right(), area.bottom()));
    if (!left.isEmpty()) {
        PaintImage(painter, left, beyond, false);
    }
    if (!right.isEmpty()) {
        PaintImage(painter, right, beyond, true);
    }
    // The divider, and each half's name at its foot (the image starts at the
    // top left, so that is where the names hide least of it).
    const QRect view = viewport()->rect();
    painter.fillRect(QRect(at - 1, view.top(), 2, view.height()), Qt::white);
    painter.fillRect(QRect(at, view.top(), 1, view.height()), Qt::black);
    const QFontMetrics metrics = painter.fontMetrics();
    // Above whatever has grown over the foot.
    int foot = view.bottom();
    if (m_footCover != nullptr && m_footCover->isVisible() &&
        m_footCover->parentWidget() == parentWidget()) {
        const QRect cover(viewport()->mapFrom(parentWidget(), m_footCover->geometry().topLeft()),
                          m_footCover->size());
        if (cover.intersects(view)) {
            foot = std::max(view.top() + metrics.height() + 1, cover.top() - 1);
        }
    }
    auto label = [&](const QString& text, int x) {
        const QRect box(x, foot - 1 - metrics.height(), metrics.horizontalAdvance(text) + 6,
                        metrics.height());
        painter.fillRect(box, QColor(0, 0, 0, 160));
        painter.setPen(Qt::white);
        painter.drawText(box, Qt::AlignCenter, text);
    };
    const QString leftText = QStringLiteral("A: ") + m_leftName;
    const QString rightText = QStringLiteral("B: ") + m_rightName;
    label(leftText, std::max(view.left() + 2, at - metrics.horizontalAdvance(leftText) - 10));
    label(rightText, at + 4);
}

QString PreviewView::SplitTexelText(QPoint texel) const {
    if (!Splitting() || texel.x() >= m_width || texel.y() >= m_height) {
        return {};
    }
    QRgb p = SecondRow(texel.y())[texel.x()];
    if (m_precision == Precision::kNibbles) {
        p = ExactPixel(p);
    }
    return QStringLiteral("  B %1 R %2 G %3 B %4 A %5")
        .arg(m_rightName)
        .arg(qRed(p))
        .arg(qGreen(p))
        .arg(qBlue(p))
        .arg(qAlpha(p));
}

}  // namespace marrowix
