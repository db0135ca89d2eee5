// The features installed into the window, and the dialog's commands that
// they carry out.
#include "app/MainDialog.h"
#include "app/features/Finding.h"
#include "app/features/Loading.h"
#include "app/features/Reloading.h"
#include "app/features/Replacing.h"
#include "app/features/SaveAndCopy.h"
#include "app/features/Selecting.h"
#include "app/features/Session.h"
#include "app/features/Statistics.h"
#include "app/features/Survey.h"
#include "app/grid/ThumbnailGrid.h"
#include "app/preview/PreviewView.h"
#include "app/resources/Resource.h"

#include <QLabel>
#include <QLineEdit>

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

void CMarrowix::CreatePanels() {
    m_pStatistics = new Statistics(Parts(), this);
    connect(m_pStatistics, &Statistics::shownChanged, this, &CMarrowix::LayoutPreview);
    m_pSaveAndCopy = new SaveAndCopy(
        Parts(), *m_pComparison, *m_pStatistics,
        [this](const QString& suggested) { return PromptSavePath(suggested); }, this);
    Replacing::Window window;
    window.promptImagePath = [this] { return PromptImagePath(); };
    window.promptNewSetPath = [this](const QString& s) { return PromptNewSetPath(s); };
    window.openNewSet = [this](const std::u16string& listing, TextureMode mode,
                               const std::u16string& before) {
        LoadTextureSet(listing, mode);
        SetCompareWith(before);
    };
    m_pReplacing = new Replacing(Parts(), std::move(window), this);
}

void CMarrowix::CreateSelection() {
    m_pSelecting = new Selecting(Parts(), *m_pComparison, *m_pSurvey, *m_pFinding,
                                 {qobject_cast<QLabel*>(GetDlgItem(IDC_DIMENSIONS)),
                                  qobject_cast<QLabel*>(GetDlgItem(IDC_OFFSET))},
                                 this);
    Loading::Window window;
    window.askLoadDxt = [this] { return AskLoadDxt(); };
    window.showableTextures = [this](std::size_t count) { return ShowableTextures(count); };
    window.pathField = qobject_cast<QLineEdit*>(GetDlgItem(IDC_PATH));
    window.loaded = [this](const std::u16string& listing, TextureMode mode) {
        m_pSurvey->Update();
        m_pSession->Remember(listing, mode);
        WatchForChanges();
    };
    m_pLoading = new Loading(Parts(), *m_pSelecting, std::move(window), this);
}

void CMarrowix::CreateGrid() {
    m_pSurvey = new Survey(Parts(), this);
    m_pReloading = new Reloading(Parts(), *m_pComparison, *m_pSurvey, this);
    m_pFinding = new Finding(Parts(), *m_pSurvey, this);
}

QLineEdit* CMarrowix::FindField() const {
    return m_pFinding->Field();
}

void CMarrowix::ShowFind() {
    m_pFinding->Show();
}

void CMarrowix::HideFind() {
    m_pFinding->Hide();
}

void CMarrowix::SelectNextMatch() {
    m_pFinding->SelectNextMatch();
}

SetReload* CMarrowix::Reloader() const {
    return m_pReloading->Reloader();
}

void CMarrowix::WatchForChanges() {
    m_pReloading->Watch();
}

void CMarrowix::Reload() {
    m_pReloading->Reload();
}

ThumbnailGrid* CMarrowix::Grid() const {
    return m_pSurvey->Grid();
}

bool CMarrowix::ShowingGrid() const {
    return m_pSurvey != nullptr && m_pSurvey->Showing();
}

void CMarrowix::ShowGrid(bool on) {
    m_pSurvey->Show(on);
}

void CMarrowix::ReplaceTexture(const QString& imagePath) {
    m_pReplacing->ReplaceTexture(imagePath);
}

TextureReplacement* CMarrowix::Replacement() const {
    return m_pReplacing->Replacement();
}

void CMarrowix::SaveImage() {
    m_pSaveAndCopy->SaveImage();
}

void CMarrowix::CopyImage() {
    m_pSaveAndCopy->CopyImage();
}

StatsPanel* CMarrowix::Stats() const {
    return m_pStatistics->Panel();
}

void CMarrowix::ShowStats(bool on) {
    m_pStatistics->Show(on);
}

void CMarrowix::FitLevels() {
    m_pStatistics->FitLevels();
}

void CMarrowix::ResetLevels() {
    m_pStatistics->ResetLevels();
}

void CMarrowix::SetAsShown(bool on) {
    m_pStatistics->SetAsShown(on);
}

bool CMarrowix::AsShownWithLevels() const {
    return m_pStatistics->AsShownWithLevels();
}

}  // namespace marrowix
