// How the preview shows a texture, and the keys that change it: the view
// modes 1 to 7, the comparison's E, S, D and T, zoom, fit and the 8-bit
// precision Q. Each is a command of the window and an entry of the
// preview's (and the grid's) context menu.
#pragma once

#include <QObject>
#include <vector>

#include "app/features/ViewerParts.h"
#include "app/preview/PreviewView.h"

class QAction;

namespace marrowix {

class Comparison;
class Selecting;
class Survey;

class Viewing : public QObject {
    Q_OBJECT
public:
    Viewing(const ViewerParts& parts, Comparison& comparison, Survey& survey, Selecting& selecting,
            QObject* parent);

    // The view mode, its command checked; the difference view (7) only
    // where there is another set to differ from.
    void SetViewMode(ViewMode mode);
    // The precision the preview shows: 4-bit (the preview block, the
    // default) or 8-bit (the full precision of "dxt" blocks).
    void SetPrecision(Precision precision);
    // E, D, S and T (see Comparison); the texture shown made again when
    // they change what it shows.
    void FlipSource();
    void StepDifferenceScale();
    void ToggleSplit();
    void ToggleDifferenceThreshold();

private:
    QAction* Add(const QString& text, const QList<QKeySequence>& keys, auto slot);
    void AddSeparator();
    void CheckViewMode(ViewMode mode);

    ViewerParts m_parts;
    Comparison& m_comparison;
    Survey& m_survey;
    Selecting& m_selecting;
    std::vector<QAction*> m_modeActions;  // in the order of ViewMode
    QAction* m_pPrecision = nullptr;      // checked at 8-bit precision
};

}  // namespace marrowix
