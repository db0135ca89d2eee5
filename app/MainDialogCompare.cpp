// The dialog's comparison commands, carried out by the Comparison: E, S, 7,
// D and T, and the other version to compare with.
#include <QAction>

#include "app/MainDialog.h"
#include "app/features/Comparison.h"
#include "app/features/Selecting.h"
#include "app/features/Survey.h"
#include "app/grid/ThumbnailGrid.h"
#include "app/preview/PreviewView.h"

namespace marrowix {

bool CMarrowix::ShowingOther() const {
    return m_pComparison->ShowingOther();
}

bool CMarrowix::Splitting() const {
    return m_pComparison->Splitting();
}

int CMarrowix::DifferenceThreshold() const {
    return m_pComparison->DifferenceThreshold();
}

int CMarrowix::DifferenceScale() const {
    return m_pComparison->DifferenceScale();
}

void CMarrowix::SetCompareWith(const std::u16string& otherListing) {
    m_pDocument->SetCompareWith(otherListing);
    WatchForChanges();
}

void CMarrowix::QueuePreview() {
    m_pSelecting->ShowAgain();
}

void CMarrowix::FlipSource() {
    if (m_pComparison->Flip()) {
        QueuePreview();
    }
}

void CMarrowix::SetViewMode(ViewMode mode) {
    const ViewMode before = m_pPreview->Mode();
    if (mode == ViewMode::kDifference && !m_pComparison->EnterDifference(before)) {
        // The mode's check mark goes back to the mode shown.
        CheckViewModeAction(before);
        return;
    }
    m_pPreview->SetMode(mode);
    Grid()->SetMode(mode == ViewMode::kDifference ? m_pComparison->PlainMode() : mode);
    if ((mode == ViewMode::kDifference) != (before == ViewMode::kDifference)) {
        QueuePreview();
    }
}

void CMarrowix::StepDifferenceScale() {
    if (m_pComparison->StepDifferenceScale()) {
        QueuePreview();
    }
}

void CMarrowix::ToggleSplit() {
    if (m_pComparison->ToggleSplit()) {
        QueuePreview();
    }
}

void CMarrowix::ToggleDifferenceThreshold() {
    if (m_pComparison->ToggleDifferenceThreshold()) {
        QueuePreview();
    }
}

}  // namespace marrowix
