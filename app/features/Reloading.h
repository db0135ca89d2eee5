// Reload (F5, and by itself once the set's files have changed and been
// quiet for a moment): the set read again off the dialog's thread and
// swapped in, keeping the selected texture (found again by category and
// name), zoom, scroll, view mode, precision, pin, the open categories and
// the grid; the readout says "reloaded HH:MM:SS", and which file is
// incomplete when the set was caught mid-write, or which file is gone. No
// message box is raised.
#pragma once

#include <QObject>

#include "app/features/ViewerParts.h"

namespace marrowix {

class Comparison;
class SetReload;
class Survey;

class Reloading : public QObject {
    Q_OBJECT
public:
    Reloading(const ViewerParts& parts, Comparison& comparison, Survey& survey, QObject* parent);

    // Made with the first set watched; null until then.
    SetReload* Reloader() const { return m_pReload; }
    // Watches the loaded set's files (and the other version's) for changes.
    void Watch();
    void Reload();

private:
    // Swaps in the set read again, keeping what the user was looking at.
    void OnReloaded();

    ViewerParts m_parts;
    Comparison& m_comparison;
    Survey& m_survey;
    SetReload* m_pReload = nullptr;
};

}  // namespace marrowix
