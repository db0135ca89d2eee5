#include "app/tree/TreeSplitter.h"

#include <QMouseEvent>
#include <algorithm>

namespace marrowix {

TreeSplitter::TreeSplitter(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::SplitHCursor);
    setFocusPolicy(Qt::NoFocus);
    setToolTip(QStringLiteral("Drag to change the tree's width; double-click: as it was"));
}

void TreeSplitter::SetExtra(int extra) {
    if (extra != m_extra) {
        m_extra = extra;
        emit moved();
    }
}

void TreeSplitter::SetRange(int least, int most) {
    m_least = least;
    m_most = std::max(least, most);
}

int TreeSplitter::Shown() const {
    return std::clamp(m_extra, m_least, m_most);
}

void TreeSplitter::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_dragging = true;
    m_dragFrom = event->globalPosition().toPoint().x();
    m_extraFrom = Shown();
}

void TreeSplitter::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging) {
        // Kept within the range, so that dragging back moves at once.
        const int moved = event->globalPosition().toPoint().x() - m_dragFrom;
        SetExtra(std::clamp(m_extraFrom + moved, m_least, m_most));
    }
}

void TreeSplitter::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_dragging = false;
    }
}

void TreeSplitter::mouseDoubleClickEvent(QMouseEvent*) {
    SetExtra(0);
}

}  // namespace marrowix
