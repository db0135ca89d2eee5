#include "app/features/Finding.h"

#include <QAction>
#include <QLineEdit>
#include <QTreeView>
#include <new>

#include "app/document/SetDocument.h"
#include "app/features/Survey.h"
#include "app/tree/TextureTreeModel.h"

namespace marrowix {

Finding::Finding(const ViewerParts& parts, Survey& survey, QObject* parent)
    : QObject(parent), m_parts(parts), m_survey(survey) {
    m_pField = new QLineEdit(m_parts.window);
    m_pField->setPlaceholderText(QStringLiteral("Find textures"));
    m_pField->setClearButtonEnabled(true);
    m_pField->hide();
    connect(m_pField, &QLineEdit::textChanged, this, &Finding::ApplyFilter);
    connect(m_pField, &QLineEdit::returnPressed, this, &Finding::SelectNextMatch);
    auto* find = new QAction(QStringLiteral("Find"), m_parts.window);
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    find->setShortcutContext(Qt::WindowShortcut);
    connect(find, &QAction::triggered, this, &Finding::Show);
    m_parts.window->addAction(find);
}

bool Finding::Showing() const {
    return m_pField->isVisible();
}

void Finding::Layout() {
    const QRect tree = m_parts.tree->geometry();
    const int height = m_pField->sizeHint().height();
    m_pField->setGeometry(tree.left(), tree.bottom() + 1 - height, tree.width(), height);
}

void Finding::Show() {
    Layout();
    m_pField->show();
    m_pField->raise();
    m_pField->setFocus();
    m_pField->selectAll();
}

void Finding::Hide() {
    m_pField->hide();
    m_pField->clear();
    m_parts.tree->setFocus();
}

void Finding::ApplyFilter(const QString& text) {
    TextureTreeModel& model = *m_parts.model;
    QTreeView& tree = *m_parts.tree;
    // The node the user chose stays current wherever it shows.
    m_refiltering = true;
    try {
        model.SetFilter(text.toStdU16String());
    } catch (const std::bad_alloc&) {
        m_parts.warn(QStringLiteral("not enough memory to find among all %1 textures")
                         .arg(model.ShownTextures()));
    }
    if (model.Filtering()) {
        tree.expandAll();
    }
    QModelIndex again;
    if (const auto choice = m_parts.document->LastChoice()) {
        again = choice->isCategory ? model.IndexOfCategory(choice->index)
                                   : model.IndexOfEntry(choice->index);
    }
    if (again.isValid()) {
        tree.setCurrentIndex(again);
        tree.scrollTo(again);
    }
    m_refiltering = false;
    m_survey.Update();
}

void Finding::SelectNextMatch() {
    const QModelIndex next = m_parts.model->NextTexture(m_parts.tree->currentIndex());
    if (next.isValid()) {
        m_parts.tree->setCurrentIndex(next);
    }
}

}  // namespace marrowix
