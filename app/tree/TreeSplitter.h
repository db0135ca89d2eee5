// The handle between the tree and the right-hand side of the dialog. Dragged,
// it makes the tree wider or narrower by the distance moved; double-clicked,
// it puts the boundary back where the template has it. It only keeps the
// width the user chose and the range the dialog allows: the dialog lays its
// controls out around it.
#pragma once

#include <QWidget>

namespace marrowix {

class TreeSplitter : public QWidget {
    Q_OBJECT
public:
    explicit TreeSplitter(QWidget* parent = nullptr);

    // Pixels the tree is wider than the template makes it (narrower when
    // negative), as the user chose it.
    int Extra() const { return m_extra; }
    void SetExtra(int extra);

    // The range the dialog's size allows; Shown is the extra within it.
    void SetRange(int least, int most);
    int Shown() const;

signals:
    void moved();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    int m_extra = 0;
    int m_least = 0;
    int m_most = 0;
    bool m_dragging = false;
    int m_dragFrom = 0;   // the pointer's x where the drag began
    int m_extraFrom = 0;  // and the extra shown then
};

}  // namespace marrowix
