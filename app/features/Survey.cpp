#include "app/features/Survey.h"

#include <QAction>
#include <QTreeView>
#include <new>

#include "app/document/SetDocument.h"
#include "app/grid/ThumbnailGrid.h"
#include "app/preview/PreviewView.h"
#include "app/tree/TextureTreeModel.h"

namespace marrowix {

Survey::Survey(const ViewerParts& parts, QObject* parent) : QObject(parent), m_parts(parts) {
    m_pGrid = new ThumbnailGrid(m_parts.window);
    m_pGrid->hide();
    m_pGrid->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_pAction = new QAction(QStringLiteral("Thumbnail grid"), m_parts.window);
    m_pAction->setShortcut(QKeySequence(Qt::Key_G));
    m_pAction->setShortcutContext(Qt::WindowShortcut);
    m_pAction->setCheckable(true);
    connect(m_pAction, &QAction::triggered, this, [this](bool on) { Show(on); });
    m_parts.window->addAction(m_pAction);
    m_parts.preview->insertAction(m_parts.preview->actions().value(0), m_pAction);
    connect(m_parts.document, &SetDocument::currentChanged, this, &Survey::OnSetChanged);

    // A cell made current selects its texture in the tree, so that labels
    // and preview follow as they follow the tree.
    connect(m_pGrid, &ThumbnailGrid::currentChanged, this, [this](std::size_t entry) {
        const QModelIndex index = m_parts.model->IndexOfEntry(entry);
        if (index.isValid()) {
            m_choosingInGrid = true;
            m_parts.tree->setCurrentIndex(index);
            m_choosingInGrid = false;
            m_parts.tree->scrollTo(index);
        }
    });
    connect(m_pGrid, &ThumbnailGrid::activated, this, [this](std::size_t entry) {
        const QModelIndex index = m_parts.model->IndexOfEntry(entry);
        if (index.isValid()) {
            m_parts.tree->setCurrentIndex(index);
        }
        Show(false);
        m_parts.preview->setFocus();
    });
}

// A new set drops every thumbnail; the same set read again keeps those of
// the entries still there.
void Survey::OnSetChanged(const std::vector<std::ptrdiff_t>& newIndex) {
    if (newIndex.empty()) {
        m_pGrid->ForgetSet();
    } else {
        m_pGrid->ReplaceSet(m_parts.document->Current(), newIndex);
    }
    m_group.clear();
}

bool Survey::Showing() const {
    return m_pGrid != nullptr && !m_pGrid->isHidden();
}

void Survey::TakePreviewMenu() {
    m_pGrid->addActions(m_parts.preview->actions());
}

void Survey::Show(bool on) {
    m_pAction->setChecked(on);
    if (on == Showing()) {
        return;
    }
    m_pGrid->setGeometry(m_parts.preview->geometry());
    m_pGrid->setVisible(on);
    m_parts.preview->setVisible(!on);
    if (on) {
        Update();
        m_pGrid->setFocus();
    } else {
        m_pGrid->SetTextures(m_parts.document->Current(), {});  // no work while hidden
        m_group.clear();
    }
}

void Survey::Update() {
    if (!Showing()) {
        return;
    }
    if (!m_parts.document->Current()) {
        m_pGrid->ForgetSet();
        m_group.clear();
        return;
    }
    // The group: every match while filtering, else the chosen category or
    // the chosen texture's group; before any choice, every texture.
    const std::optional<SetDocument::Choice> choice = m_parts.document->LastChoice();
    QString group;
    std::optional<std::size_t> category;
    bool all = false;
    if (m_parts.model->Filtering()) {
        group = QStringLiteral("find:") + QString::fromStdU16String(m_parts.model->Filter());
        all = true;
    } else if (choice) {
        category = choice->isCategory ? std::optional<std::size_t>(choice->index)
                                      : m_parts.model->GroupOf(choice->index);
        group = category ? QStringLiteral("category:%1").arg(*category) : QStringLiteral("root");
    } else {
        group = QStringLiteral("all");
        all = true;
    }
    if (m_choosingInGrid && !m_group.isEmpty()) {
        group = m_group;  // moving within the grid never narrows it
        all = m_group == QLatin1String("all");
    }
    if (group != m_group) {
        try {
            m_pGrid->SetTextures(
                m_parts.document->Current(),
                all ? m_parts.model->AllTextures() : m_parts.model->TexturesOf(category));
            m_group = group;
        } catch (const std::bad_alloc&) {
            m_pGrid->SetTextures(m_parts.document->Current(), {});
            m_group.clear();
            m_parts.warn(QStringLiteral("not enough memory to show this group's thumbnails"));
        }
    }
    m_pGrid->SetCurrent(choice && !choice->isCategory ? std::optional<std::size_t>(choice->index)
                                                      : std::nullopt);
}

}  // namespace marrowix
