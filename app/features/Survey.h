// The grid of thumbnails in the preview's place (G, and the context menu),
// for surveying a group of textures: those of the chosen category, of the
// chosen texture's category, or every match while the find field filters.
// A cell made current selects its texture in the tree, so that the labels
// and the preview follow it as they follow the tree; Enter or a double-click
// goes back to the preview.
#pragma once

#include <QObject>
#include <QString>

#include "app/features/ViewerParts.h"

namespace marrowix {

class ThumbnailGrid;

class Survey : public QObject {
    Q_OBJECT
public:
    Survey(const ViewerParts& parts, QObject* parent);

    ThumbnailGrid* Grid() const { return m_pGrid; }
    // The grid's context menu: the preview's commands installed so far.
    void TakePreviewMenu();
    // Checked while the grid shows.
    QAction* Action() const { return m_pAction; }
    bool Showing() const;
    void Show(bool on);
    // The grid's textures again, after the choice or the filter changed.
    void Update();

private:
    void OnSetChanged(const std::vector<std::ptrdiff_t>& newIndex);

    ViewerParts m_parts;
    ThumbnailGrid* m_pGrid = nullptr;
    QAction* m_pAction = nullptr;
    QString m_group;                // which textures the grid holds; empty: none yet
    bool m_choosingInGrid = false;  // a choice made in the grid keeps its group
};

}  // namespace marrowix
