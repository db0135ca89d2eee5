// The main dialog's panels: the statistics beside the preview, with the
// display's levels.
#include <QAction>

#include "app/MainDialog.h"
#include "app/panels/StatsPanel.h"
#include "app/preview/PreviewView.h"

namespace marrowix {

void CMarrowix::CreatePanels() {
    m_pStats = new StatsPanel(this);
    m_pStats->hide();
    auto add = [&](const QString& text, const QKeySequence& key, auto slot) {
        QAction* action = AddWindowAction(text, {key});
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    m_pStatsAction = add(QStringLiteral("Statistics and levels"), QKeySequence(Qt::Key_H),
                         [this] { ShowStats(!m_pStats->isVisible()); });
    m_pStatsAction->setCheckable(true);
    add(QStringLiteral("Fit levels to the texels in view (or the region)"), QKeySequence(Qt::Key_L),
        &CMarrowix::FitLevels);
    add(QStringLiteral("Reset levels"), QKeySequence(Qt::SHIFT | Qt::Key_L),
        &CMarrowix::ResetLevels);
    m_pAsShown = new QAction(QStringLiteral("Save and copy as shown (with the levels)"), this);
    m_pAsShown->setCheckable(true);
    m_pPreview->addAction(m_pAsShown);
    connect(this, &CMarrowix::previewShown, this, &CMarrowix::MeasureShown);
    connect(m_pPreview, &PreviewView::regionChanged, this, &CMarrowix::MeasureShown);
    connect(m_pStats, &StatsPanel::levelsChanged, m_pPreview, &PreviewView::SetLevels);
    connect(m_pStats, &StatsPanel::fitRequested, this, &CMarrowix::FitLevels);
}

void CMarrowix::ShowStats(bool on) {
    m_pStatsAction->setChecked(on);
    m_pStats->setVisible(on);
    LayoutPreview();
    if (on) {
        MeasureShown();
    } else {
        m_pStats->Forget();
    }
}

void CMarrowix::MeasureShown() {
    if (!m_pStats->isVisible()) {
        return;
    }
    const SetDocument::Source& source = m_pDocument->Shown();
    const bool shown = m_pDocument->Selected() && m_pPreview->HasImage() && source.set;
    m_pStats->Measure(shown ? source.set : nullptr, source.index, m_pPreview->GetPrecision(),
                      m_pPreview->Region());
}

// Black and white from the lowest and highest values of the channels the
// view shows (or the levels' one channel) among the texels in view, or in
// the region.
void CMarrowix::FitLevels() {
    const SetDocument::Source& source = m_pDocument->Shown();
    if (!m_pDocument->Selected() || !m_pPreview->HasImage() || !source.set) {
        return;
    }
    const QRect r = m_pPreview->Region() ? *m_pPreview->Region() : m_pPreview->VisibleTexels();
    const TexelRect rect{static_cast<std::uint32_t>(r.x()), static_cast<std::uint32_t>(r.y()),
                         static_cast<std::uint32_t>(r.width()),
                         static_cast<std::uint32_t>(r.height())};
    const Result<TextureStats> stats =
        ComputeStats(*source.set, source.index, m_pPreview->GetPrecision(), &rect);
    if (!stats.ok() || stats.value.texels == 0) {
        return;
    }
    Levels levels = m_pPreview->GetLevels();
    int first = 0;
    int last = 2;
    switch (m_pPreview->Mode()) {
        case ViewMode::kRed:
        case ViewMode::kGreen:
        case ViewMode::kBlue:
        case ViewMode::kAlpha:
            first = last = static_cast<int>(m_pPreview->Mode()) - static_cast<int>(ViewMode::kRed);
            levels.channel = first;
            break;
        default:
            if (levels.channel >= 0) {
                first = last = levels.channel;
            }
            break;
    }
    int low = 255;
    int high = 0;
    for (int c = first; c <= last; ++c) {
        low = std::min<int>(low, stats.value.channels[c].min);
        high = std::max<int>(high, stats.value.channels[c].max);
    }
    levels.black = std::min(low, 254);
    levels.white = std::max(high, levels.black + 1);
    m_pStats->SetLevels(levels);
    m_pPreview->SetLevels(levels);
}

void CMarrowix::ResetLevels() {
    Levels levels;
    levels.channel = m_pPreview->GetLevels().channel;
    m_pStats->SetLevels(levels);
    m_pPreview->SetLevels(levels);
}

void CMarrowix::SetAsShown(bool on) {
    m_pAsShown->setChecked(on);
}

bool CMarrowix::AsShownWithLevels() const {
    return m_pAsShown->isChecked() && !m_pPreview->GetLevels().IsIdentity() &&
           m_pPreview->Mode() != ViewMode::kDifference;
}

}  // namespace marrowix
