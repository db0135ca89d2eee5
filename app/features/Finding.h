// The find field over the bottom edge of the tree: shown by Ctrl+F, it
// filters the tree as it is typed in, the node the user chose staying
// current wherever it shows; Enter goes to the next match, Escape (the
// window's) hides it and clears the filter.
#pragma once

#include <QObject>
#include <QString>

#include "app/features/ViewerParts.h"

class QLineEdit;

namespace marrowix {

class Survey;

class Finding : public QObject {
    Q_OBJECT
public:
    // `survey` follows the filter: while it filters, the grid shows every
    // match.
    Finding(const ViewerParts& parts, Survey& survey, QObject* parent);

    QLineEdit* Field() const { return m_pField; }
    bool Showing() const;
    void Show();
    void Hide();
    void SelectNextMatch();
    // Over the bottom edge of the tree, which keeps its place: again after
    // the tree moved.
    void Layout();
    // The tree's current node changes while the filter is applied: not the
    // user's choice.
    bool Refiltering() const { return m_refiltering; }

private:
    void ApplyFilter(const QString& text);

    ViewerParts m_parts;
    Survey& m_survey;
    QLineEdit* m_pField = nullptr;
    bool m_refiltering = false;
};

}  // namespace marrowix
