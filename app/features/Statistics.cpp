#include "app/features/Statistics.h"

#include "app/document/SetDocument.h"
#include "app/panels/StatsPanel.h"
#include "app/preview/PreviewView.h"

namespace marrowix {

Statistics::Statistics(const ViewerParts& parts, QObject* parent)
    : QObject(parent), m_parts(parts) {
    m_pPanel = new StatsPanel(parts.window);
    m_pPanel->hide();
    auto add = [&](const QString& text, const QKeySequence& key, auto slot) {
        QAction* action = m_parts.addAction(text, {key});
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    m_pShowAction = add(QStringLiteral("Statistics and levels"), QKeySequence(Qt::Key_H),
                        [this] { Show(!Showing()); });
    m_pShowAction->setCheckable(true);
    add(QStringLiteral("Fit levels to the texels in view (or the region)"), QKeySequence(Qt::Key_L),
        &Statistics::FitLevels);
    add(QStringLiteral("Reset levels"), QKeySequence(Qt::SHIFT | Qt::Key_L),
        &Statistics::ResetLevels);
    m_pAsShown = new QAction(QStringLiteral("Save and copy as shown (with the levels)"), this);
    m_pAsShown->setCheckable(true);
    m_parts.preview->addAction(m_pAsShown);
    connect(m_parts.document, &SetDocument::imageShown, this, &Statistics::MeasureShown);
    connect(m_parts.preview, &PreviewView::regionChanged, this, &Statistics::MeasureShown);
    connect(m_pPanel, &StatsPanel::levelsChanged, m_parts.preview, &PreviewView::SetLevels);
    connect(m_pPanel, &StatsPanel::fitRequested, this, &Statistics::FitLevels);
    // Figures of a set that went, or of the other set, are no longer wanted.
    connect(m_parts.document, &SetDocument::currentChanged, m_pPanel, &StatsPanel::Forget);
    connect(m_parts.document, &SetDocument::otherForgotten, this, [this](bool wasShown) {
        if (wasShown) {
            m_pPanel->Forget();
        }
    });
}

bool Statistics::Showing() const {
    return m_pPanel->isVisible();
}

void Statistics::Show(bool on) {
    m_pShowAction->setChecked(on);
    m_pPanel->setVisible(on);
    emit shownChanged();
    if (on) {
        MeasureShown();
    } else {
        m_pPanel->Forget();
    }
}

void Statistics::MeasureShown() {
    if (!m_pPanel->isVisible()) {
        return;
    }
    const SetDocument::Source& source = m_parts.document->Shown();
    const bool shown = m_parts.document->Selected() && m_parts.preview->HasImage() && source.set;
    m_pPanel->Measure(shown ? source.set : nullptr, source.index, m_parts.preview->GetPrecision(),
                      m_parts.preview->Region());
}

// Black and white from the lowest and highest values of the channels the
// view shows (or the levels' one channel) among the texels in view, or in
// the region.
void Statistics::FitLevels() {
    const SetDocument::Source& source = m_parts.document->Shown();
    if (!m_parts.document->Selected() || !m_parts.preview->HasImage() || !source.set) {
        return;
    }
    const QRect r =
        m_parts.preview->Region() ? *m_parts.preview->Region() : m_parts.preview->VisibleTexels();
    const TexelRect rect{static_cast<std::uint32_t>(r.x()), static_cast<std::uint32_t>(r.y()),
                         static_cast<std::uint32_t>(r.width()),
                         static_cast<std::uint32_t>(r.height())};
    const Result<TextureStats> stats =
        ComputeStats(*source.set, source.index, m_parts.preview->GetPrecision(), &rect);
    if (!stats.ok() || stats.value.texels == 0) {
        return;
    }
    Levels levels = m_parts.preview->GetLevels();
    int first = 0;
    int last = 2;
    switch (m_parts.preview->Mode()) {
        case ViewMode::kRed:
        case ViewMode::kGreen:
        case ViewMode::kBlue:
        case ViewMode::kAlpha:
            first = last =
                static_cast<int>(m_parts.preview->Mode()) - static_cast<int>(ViewMode::kRed);
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
    m_pPanel->SetLevels(levels);
    m_parts.preview->SetLevels(levels);
}

void Statistics::ResetLevels() {
    Levels levels;
    levels.channel = m_parts.preview->GetLevels().channel;
    m_pPanel->SetLevels(levels);
    m_parts.preview->SetLevels(levels);
}

void Statistics::SetAsShown(bool on) {
    m_pAsShown->setChecked(on);
}

bool Statistics::AsShownWithLevels() const {
    return m_pAsShown->isChecked() && !m_parts.preview->GetLevels().IsIdentity() &&
           m_parts.preview->Mode() != ViewMode::kDifference;
}

}  // namespace marrowix
