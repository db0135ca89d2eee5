// The thumbnail grid in the preview's place: which textures it shows, and
// how it and the tree follow each other.
#include <QAction>
#include <QLineEdit>
#include <QTreeView>

#include "app/MainDialog.h"
#include "app/grid/ThumbnailGrid.h"
#include "app/preview/PreviewView.h"
#include "app/tree/TextureTreeModel.h"

namespace marrowix {

void CMarrowix::CreateGrid() {
    m_pGrid = new ThumbnailGrid(this);
    m_pGrid->hide();
    m_pGrid->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_pGridAction = new QAction(QStringLiteral("Thumbnail grid"), this);
    m_pGridAction->setShortcut(QKeySequence(Qt::Key_G));
    m_pGridAction->setShortcutContext(Qt::WindowShortcut);
    m_pGridAction->setCheckable(true);
    connect(m_pGridAction, &QAction::triggered, this, [this](bool on) { ShowGrid(on); });
    addAction(m_pGridAction);
    m_pPreview->insertAction(m_pPreview->actions().value(0), m_pGridAction);
    m_pGrid->addActions(m_pPreview->actions());

    // A cell made current selects its texture in the tree, so that labels
    // and preview follow as they follow the tree.
    connect(m_pGrid, &ThumbnailGrid::currentChanged, this, [this](std::size_t entry) {
        const QModelIndex index = m_pModel->IndexOfEntry(entry);
        if (index.isValid()) {
            m_choosingInGrid = true;
            m_pTree->setCurrentIndex(index);
            m_choosingInGrid = false;
            m_pTree->scrollTo(index);
        }
    });
    connect(m_pGrid, &ThumbnailGrid::activated, this, [this](std::size_t entry) {
        const QModelIndex index = m_pModel->IndexOfEntry(entry);
        if (index.isValid()) {
            m_pTree->setCurrentIndex(index);
        }
        ShowGrid(false);
        m_pPreview->setFocus();
    });
}

bool CMarrowix::ShowingGrid() const {
    return m_pGrid != nullptr && !m_pGrid->isHidden();
}

void CMarrowix::ShowGrid(bool on) {
    m_pGridAction->setChecked(on);
    if (on == ShowingGrid()) {
        return;
    }
    m_pGrid->setGeometry(m_pPreview->geometry());
    m_pGrid->setVisible(on);
    m_pPreview->setVisible(!on);
    if (on) {
        UpdateGrid();
        m_pGrid->setFocus();
    } else {
        m_pGrid->SetTextures(m_pTextureSet, {});  // no work while hidden
        m_gridGroup.clear();
    }
}

void CMarrowix::UpdateGrid() {
    if (!ShowingGrid()) {
        return;
    }
    if (!m_pTextureSet) {
        m_pGrid->ForgetSet();
        m_gridGroup.clear();
        return;
    }
    // The group: every match while filtering, else the chosen category or
    // the chosen texture's group; before any choice, every texture.
    QString group;
    std::optional<std::size_t> category;
    bool all = false;
    if (m_pModel->Filtering()) {
        group = QStringLiteral("find:") + m_pFind->text();
        all = true;
    } else if (m_lastChoice) {
        category = m_lastChoice->isCategory ? std::optional<std::size_t>(m_lastChoice->index)
                                            : m_pModel->GroupOf(m_lastChoice->index);
        group = category ? QStringLiteral("category:%1").arg(*category) : QStringLiteral("root");
    } else {
        group = QStringLiteral("all");
        all = true;
    }
    if (m_choosingInGrid && !m_gridGroup.isEmpty()) {
        group = m_gridGroup;  // moving within the grid never narrows it
        all = m_gridGroup == QLatin1String("all");
    }
    if (group != m_gridGroup) {
        try {
            m_pGrid->SetTextures(m_pTextureSet,
                                 all ? m_pModel->AllTextures() : m_pModel->TexturesOf(category));
            m_gridGroup = group;
        } catch (const std::bad_alloc&) {
            m_pGrid->SetTextures(m_pTextureSet, {});
            m_gridGroup.clear();
            ShowWarning(QStringLiteral("not enough memory to show this group's thumbnails"));
        }
    }
    m_pGrid->SetCurrent(m_lastChoice && !m_lastChoice->isCategory
                            ? std::optional<std::size_t>(m_lastChoice->index)
                            : std::nullopt);
}

}  // namespace marrowix
