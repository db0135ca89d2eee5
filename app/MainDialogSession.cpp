// The window's side of the session: its view as the settings keep it, put
// on the window and taken from it.
#include <QAction>

#include "app/MainDialog.h"
#include "app/features/Comparison.h"
#include "app/features/Session.h"
#include "app/features/Survey.h"
#include "app/grid/ThumbnailGrid.h"
#include "app/tree/TreeSplitter.h"

namespace marrowix {

void CMarrowix::CreateSession() {
    Session::Window window;
    window.applyView = [this](const ViewerSettings::View& view) {
        if (!view.geometry.isEmpty()) {
            restoreGeometry(view.geometry);
        }
        SetPrecision(view.fullPrecision ? Precision::kFull : Precision::kNibbles);
        const auto mode = static_cast<ViewMode>(view.viewMode);
        SetViewMode(mode);
        CheckViewModeAction(mode);
        Grid()->SetCellSize(view.gridCell);
        m_pSplitter->SetExtra(view.treeExtra);
    };
    window.currentView = [this] {
        ViewerSettings::View view;
        view.geometry = saveGeometry();
        view.fullPrecision = m_pPreview->GetPrecision() == Precision::kFull;
        const ViewMode mode = m_pPreview->Mode();
        view.viewMode =
            static_cast<int>(mode == ViewMode::kDifference ? m_pComparison->PlainMode() : mode);
        view.gridCell = Grid()->CellSize();
        view.treeExtra = m_pSplitter->Extra();
        return view;
    };
    window.open = [this](const std::u16string& listing, TextureMode mode) {
        OpenListing(listing, mode);
    };
    window.menus = {m_pPreview, Grid()};
    m_pSession = new Session(Parts(), std::move(window), this);
}

// The check mark of the view mode's command.
void CMarrowix::CheckViewModeAction(ViewMode mode) {
    for (QAction* action : m_pPreview->actions()) {
        if (action->isCheckable() && action != m_pPrecision && action != m_pSurvey->Action() &&
            action->data().toInt() == static_cast<int>(mode)) {
            action->setChecked(true);
        }
    }
}

void CMarrowix::UseSettings(std::unique_ptr<ViewerSettings> settings) {
    m_pSession->Use(std::move(settings));
}

QMenu* CMarrowix::RecentMenu() const {
    return m_pSession->RecentMenu();
}

void CMarrowix::done(int result) {
    m_pSession->Save();
    QDialog::done(result);
}

}  // namespace marrowix
