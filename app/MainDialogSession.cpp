// The main dialog's session: what it remembers between runs (restored when
// the program gives it its settings, saved when it closes) and the sets
// opened lately, one menu away.
#include <QAction>
#include <QCursor>
#include <QMenu>

#include "app/MainDialog.h"
#include "app/NativePaths.h"
#include "app/features/Comparison.h"
#include "app/features/Survey.h"
#include "app/grid/ThumbnailGrid.h"
#include "app/session/ViewerSettings.h"
#include "app/tree/TreeSplitter.h"

namespace marrowix {

void CMarrowix::UseSettings(std::unique_ptr<ViewerSettings> settings) {
    m_settings = std::move(settings);
    if (const auto view = m_settings->LoadView()) {
        if (!view->geometry.isEmpty()) {
            restoreGeometry(view->geometry);
        }
        SetPrecision(view->fullPrecision ? Precision::kFull : Precision::kNibbles);
        const auto mode = static_cast<ViewMode>(view->viewMode);
        SetViewMode(mode);
        for (QAction* action : m_pPreview->actions()) {
            if (action->isCheckable() && action != m_pPrecision && action != m_pSurvey->Action() &&
                action->data().toInt() == view->viewMode) {
                action->setChecked(true);
            }
        }
        Grid()->SetCellSize(view->gridCell);
        m_pSplitter->SetExtra(view->treeExtra);
    }
    // Open recent (Ctrl+R, and in the context menus): the last ten sets,
    // each loaded in the encoding last chosen for it.
    m_pRecentMenu = new QMenu(QStringLiteral("Open recent"), this);
    connect(m_pRecentMenu, &QMenu::aboutToShow, this, [this] {
        m_pRecentMenu->clear();
        int number = 0;
        for (const ViewerSettings::Recent& recent : m_settings->RecentSets()) {
            const QString text =
                QStringLiteral("&%1 %2 (%3)")
                    .arg(++number % 10)
                    .arg(PathFromU16(recent.listing),
                         recent.mode == kModeDxt ? QStringLiteral("dxt") : QStringLiteral("etc"));
            m_pRecentMenu->addAction(text, this,
                                     [this, recent] { OpenListing(recent.listing, recent.mode); });
        }
        if (number == 0) {
            m_pRecentMenu->addAction(QStringLiteral("(none yet)"))->setEnabled(false);
        }
    });
    auto* action = new QAction(QStringLiteral("Open recent"), this);
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    action->setShortcutContext(Qt::WindowShortcut);
    action->setMenu(m_pRecentMenu);
    connect(action, &QAction::triggered, this, [this] { m_pRecentMenu->popup(QCursor::pos()); });
    addAction(action);
    m_pPreview->addAction(action);
    Grid()->addAction(action);
}

void CMarrowix::RememberSet(const std::u16string& listing, TextureMode mode) {
    if (m_settings) {
        m_settings->AddRecent(listing, mode);
    }
}

void CMarrowix::done(int result) {
    if (m_settings) {
        ViewerSettings::View view;
        view.geometry = saveGeometry();
        view.fullPrecision = m_pPreview->GetPrecision() == Precision::kFull;
        const ViewMode mode = m_pPreview->Mode();
        view.viewMode =
            static_cast<int>(mode == ViewMode::kDifference ? m_pComparison->PlainMode() : mode);
        view.gridCell = Grid()->CellSize();
        view.treeExtra = m_pSplitter->Extra();
        m_settings->SaveView(view);
    }
    QDialog::done(result);
}

}  // namespace marrowix
