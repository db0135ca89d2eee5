// The statistics panel beside the preview (H, and the context menu): the
// figures of the texture shown, or of the region chosen by Shift+drag; and
// the display's levels, fitted to the texels in view or the region by L,
// reset by Shift+L. "As shown" makes Ctrl+S and Ctrl+C take the image as the
// levels show it.
#pragma once

#include <QObject>

#include "app/features/ViewerParts.h"

namespace marrowix {

class StatsPanel;

class Statistics : public QObject {
    Q_OBJECT
public:
    Statistics(const ViewerParts& parts, QObject* parent);

    StatsPanel* Panel() const { return m_pPanel; }
    bool Showing() const;
    void Show(bool on);
    // The figures of what the preview shows, when the panel is open.
    void MeasureShown();
    void FitLevels();
    void ResetLevels();
    void SetAsShown(bool on);
    bool AsShownWithLevels() const;

signals:
    // The panel opened or closed: the preview's area changes.
    void shownChanged();

private:
    ViewerParts m_parts;
    StatsPanel* m_pPanel = nullptr;
    QAction* m_pShowAction = nullptr;
    QAction* m_pAsShown = nullptr;
};

}  // namespace marrowix
