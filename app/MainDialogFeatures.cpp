// The features installed into the window, the wiring between them, and the
// window's keys that are not commands of one feature.
#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "app/MainDialog.h"
#include "app/features/Comparison.h"
#include "app/features/Finding.h"
#include "app/features/Loading.h"
#include "app/features/Reloading.h"
#include "app/features/Replacing.h"
#include "app/features/SaveAndCopy.h"
#include "app/features/Selecting.h"
#include "app/features/Session.h"
#include "app/features/Statistics.h"
#include "app/features/Survey.h"
#include "app/features/Viewing.h"
#include "app/grid/ThumbnailGrid.h"
#include "app/preview/PreviewView.h"
#include "app/resources/Resource.h"
#include "app/tree/TreeSplitter.h"

namespace marrowix {

ViewerParts CMarrowix::Parts() {
    return {this,
            m_pDocument,
            m_pTree,
            m_pModel,
            m_pPreview,
            m_pReadout,
            [this](const QString& text, const QList<QKeySequence>& keys) {
                return AddWindowAction(text, keys);
            },
            [this](const QString& text) { ShowWarning(text); }};
}

QAction* CMarrowix::AddWindowAction(const QString& text, const QList<QKeySequence>& keys) {
    auto* action = new QAction(text, this);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    m_pPreview->addAction(action);
    return action;
}

// The grid's context menu has the commands installed before it takes the
// preview's: those of the view, save and copy, and replacement.
void CMarrowix::InstallFeatures() {
    ViewerFeatures& f = m_features;
    f.comparison = new Comparison(*m_pDocument, *m_pPreview, this);
    f.survey = new Survey(Parts(), this);
    f.finding = new Finding(Parts(), *f.survey, this);
    f.selecting = new Selecting(Parts(), *f.comparison, *f.survey, *f.finding,
                                {qobject_cast<QLabel*>(GetDlgItem(IDC_DIMENSIONS)),
                                 qobject_cast<QLabel*>(GetDlgItem(IDC_OFFSET))},
                                this);
    f.viewing = new Viewing(Parts(), *f.comparison, *f.survey, *f.selecting, this);
    f.saveAndCopy = new SaveAndCopy(
        Parts(), *f.comparison, [&f] { return f.statistics->AsShownWithLevels(); },
        [this](const QString& suggested) { return PromptSavePath(suggested); }, this);
    Replacing::Window replacing;
    replacing.promptImagePath = [this] { return PromptImagePath(); };
    replacing.promptNewSetPath = [this](const QString& s) { return PromptNewSetPath(s); };
    replacing.openNewSet = [this](const std::u16string& listing, TextureMode mode,
                                  const std::u16string& before) {
        LoadTextureSet(listing, mode);
        SetCompareWith(before);
    };
    f.replacing = new Replacing(Parts(), std::move(replacing), this);
    f.survey->TakePreviewMenu();
    f.reloading = new Reloading(Parts(), *f.comparison, *f.survey, this);
    Loading::Window loading;
    loading.askLoadDxt = [this] { return AskLoadDxt(); };
    loading.showableTextures = [this](std::size_t count) { return ShowableTextures(count); };
    loading.pathField = qobject_cast<QLineEdit*>(GetDlgItem(IDC_PATH));
    loading.loaded = [&f](const std::u16string& listing, TextureMode mode) {
        f.survey->Update();
        f.session->Remember(listing, mode);
        f.reloading->Watch();
    };
    f.loading = new Loading(Parts(), *f.selecting, std::move(loading), this);
    f.statistics = new Statistics(Parts(), this);
    connect(f.statistics, &Statistics::shownChanged, this, &CMarrowix::LayoutPreview);
    f.session = CreateSession();
}

// The window's side of the session: its view as the settings keep it, put
// on the window and taken from it.
Session* CMarrowix::CreateSession() {
    Session::Window window;
    window.applyView = [this](const ViewerSettings::View& view) {
        if (!view.geometry.isEmpty()) {
            restoreGeometry(view.geometry);
        }
        m_features.viewing->SetPrecision(view.fullPrecision ? Precision::kFull
                                                            : Precision::kNibbles);
        m_features.viewing->SetViewMode(static_cast<ViewMode>(view.viewMode));
        m_features.survey->Grid()->SetCellSize(view.gridCell);
        m_pSplitter->SetExtra(view.treeExtra);
    };
    window.currentView = [this] {
        ViewerSettings::View view;
        view.geometry = saveGeometry();
        view.fullPrecision = m_pPreview->GetPrecision() == Precision::kFull;
        const ViewMode mode = m_pPreview->Mode();
        view.viewMode = static_cast<int>(
            mode == ViewMode::kDifference ? m_features.comparison->PlainMode() : mode);
        view.gridCell = m_features.survey->Grid()->CellSize();
        view.treeExtra = m_pSplitter->Extra();
        return view;
    };
    window.open = [this](const std::u16string& listing, TextureMode mode) {
        OpenListing(listing, mode);
    };
    window.menus = {m_pPreview, m_features.survey->Grid()};
    return new Session(Parts(), std::move(window), this);
}

void CMarrowix::SetCompareWith(const std::u16string& otherListing) {
    m_pDocument->SetCompareWith(otherListing);
    m_features.reloading->Watch();
}

void CMarrowix::done(int result) {
    m_features.session->Save();
    QDialog::done(result);
}

void CMarrowix::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        Finding& finding = *m_features.finding;
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            if (focusWidget() != finding.Field()) {  // Enter there goes to the next match
                accept();
            }
            return;
        }
        if (event->key() == Qt::Key_Escape) {
            // The find field, then a region, then a pinned readout, let go
            // first.
            if (finding.Showing()) {
                finding.Hide();
            } else if (m_pPreview->Region()) {
                m_pPreview->SetRegion(std::nullopt);
            } else if (m_pPreview->Pinned()) {
                m_pPreview->Unpin();
            } else {
                reject();
            }
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

}  // namespace marrowix
