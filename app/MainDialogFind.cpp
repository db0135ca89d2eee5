// The main dialog's find field: it filters the tree as it is typed in.
#include <QAction>
#include <QLineEdit>
#include <QTreeView>
#include <new>

#include "app/MainDialog.h"
#include "app/features/Survey.h"
#include "app/tree/TextureTreeModel.h"

namespace marrowix {

void CMarrowix::CreateFind() {
    m_pFind = new QLineEdit(this);
    m_pFind->setPlaceholderText(QStringLiteral("Find textures"));
    m_pFind->setClearButtonEnabled(true);
    m_pFind->hide();
    connect(m_pFind, &QLineEdit::textChanged, this, &CMarrowix::ApplyFilter);
    connect(m_pFind, &QLineEdit::returnPressed, this, &CMarrowix::SelectNextMatch);
    auto* find = new QAction(QStringLiteral("Find"), this);
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    find->setShortcutContext(Qt::WindowShortcut);
    connect(find, &QAction::triggered, this, &CMarrowix::ShowFind);
    addAction(find);
}

// Over the bottom edge of the tree, which keeps its place.
void CMarrowix::LayoutFind() {
    const QRect tree = m_pTree->geometry();
    const int height = m_pFind->sizeHint().height();
    m_pFind->setGeometry(tree.left(), tree.bottom() + 1 - height, tree.width(), height);
}

void CMarrowix::ShowFind() {
    LayoutFind();
    m_pFind->show();
    m_pFind->raise();
    m_pFind->setFocus();
    m_pFind->selectAll();
}

void CMarrowix::HideFind() {
    m_pFind->hide();
    m_pFind->clear();
    m_pTree->setFocus();
}

void CMarrowix::ApplyFilter(const QString& text) {
    // The node the user chose stays current wherever it shows.
    m_restoringSelection = true;
    try {
        m_pModel->SetFilter(text.toStdU16String());
    } catch (const std::bad_alloc&) {
        ShowWarning(QStringLiteral("not enough memory to find among all %1 textures")
                        .arg(m_pModel->ShownTextures()));
    }
    if (m_pModel->Filtering()) {
        m_pTree->expandAll();
    }
    QModelIndex again;
    if (const auto choice = m_pDocument->LastChoice()) {
        again = choice->isCategory ? m_pModel->IndexOfCategory(choice->index)
                                   : m_pModel->IndexOfEntry(choice->index);
    }
    if (again.isValid()) {
        m_pTree->setCurrentIndex(again);
        m_pTree->scrollTo(again);
    }
    m_restoringSelection = false;
    m_pSurvey->Update();
}

void CMarrowix::SelectNextMatch() {
    const QModelIndex next = m_pModel->NextTexture(m_pTree->currentIndex());
    if (next.isValid()) {
        m_pTree->setCurrentIndex(next);
    }
}

}  // namespace marrowix
