#include "app/features/Viewing.h"

#include <QAction>
#include <QActionGroup>

#include "app/features/Comparison.h"
#include "app/features/Selecting.h"
#include "app/features/Survey.h"
#include "app/grid/ThumbnailGrid.h"

namespace marrowix {

QAction* Viewing::Add(const QString& text, const QList<QKeySequence>& keys, auto slot) {
    QAction* action = m_parts.addAction(text, keys);
    connect(action, &QAction::triggered, this, slot);
    return action;
}

void Viewing::AddSeparator() {
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    m_parts.preview->addAction(separator);
}

Viewing::Viewing(const ViewerParts& parts, Comparison& comparison, Survey& survey,
                 Selecting& selecting, QObject* parent)
    : QObject(parent),
      m_parts(parts),
      m_comparison(comparison),
      m_survey(survey),
      m_selecting(selecting) {
    auto* modes = new QActionGroup(this);
    const std::pair<ViewMode, const char*> kModes[] = {
        {ViewMode::kRgb, "RGB"},
        {ViewMode::kRgba, "RGBA over a checkerboard"},
        {ViewMode::kRed, "Red alone"},
        {ViewMode::kGreen, "Green alone"},
        {ViewMode::kBlue, "Blue alone"},
        {ViewMode::kAlpha, "Alpha alone"},
        {ViewMode::kDifference, "Difference of the two encodings (or versions)"}};
    int key = Qt::Key_1;
    for (const auto& [mode, text] : kModes) {
        QAction* action = Add(QString::fromLatin1(text), {QKeySequence(key++)},
                              [this, m = mode] { SetViewMode(m); });
        action->setCheckable(true);
        action->setChecked(mode == ViewMode::kRgb);
        modes->addAction(action);
        m_modeActions.push_back(action);
    }
    Add(QStringLiteral("Difference scale x1, x4, x16 (threshold 1 to 32)"),
        {QKeySequence(Qt::Key_D)}, [this] { StepDifferenceScale(); });
    Add(QStringLiteral("Difference: texels over a threshold"), {QKeySequence(Qt::Key_T)},
        [this] { ToggleDifferenceThreshold(); });
    Add(QStringLiteral("Split view: this and the other encoding (or version)"),
        {QKeySequence(Qt::Key_S)}, [this] { ToggleSplit(); });
    Add(QStringLiteral("Flip to the other encoding (or version)"), {QKeySequence(Qt::Key_E)},
        [this] { FlipSource(); });
    AddSeparator();
    PreviewView* preview = m_parts.preview;
    Add(QStringLiteral("Zoom in"),
        {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
        [this, preview] { m_survey.Showing() ? m_survey.Grid()->Larger() : preview->ZoomIn(); });
    Add(QStringLiteral("Zoom out"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)},
        [this, preview] { m_survey.Showing() ? m_survey.Grid()->Smaller() : preview->ZoomOut(); });
    Add(QStringLiteral("Real size"), {QKeySequence(Qt::CTRL | Qt::Key_0)},
        [preview] { preview->RealSize(); });
    Add(QStringLiteral("Fit"), {QKeySequence(Qt::Key_F)}, [preview] { preview->Fit(); });
    m_pPrecision =
        Add(QStringLiteral("8-bit precision"), {QKeySequence(Qt::Key_Q)},
            [this](bool on) { SetPrecision(on ? Precision::kFull : Precision::kNibbles); });
    m_pPrecision->setCheckable(true);
    AddSeparator();
}

void Viewing::CheckViewMode(ViewMode mode) {
    m_modeActions[static_cast<std::size_t>(mode)]->setChecked(true);
}

void Viewing::SetViewMode(ViewMode mode) {
    PreviewView& preview = *m_parts.preview;
    const ViewMode before = preview.Mode();
    if (mode == ViewMode::kDifference && !m_comparison.EnterDifference(before)) {
        // The mode's check mark goes back to the mode shown.
        CheckViewMode(before);
        return;
    }
    CheckViewMode(mode);
    preview.SetMode(mode);
    m_survey.Grid()->SetMode(mode == ViewMode::kDifference ? m_comparison.PlainMode() : mode);
    if ((mode == ViewMode::kDifference) != (before == ViewMode::kDifference)) {
        m_selecting.ShowAgain();
    }
}

void Viewing::SetPrecision(Precision precision) {
    if (precision == m_parts.preview->GetPrecision()) {
        return;
    }
    m_parts.preview->SetPrecision(precision);
    m_survey.Grid()->SetPrecision(precision);
    m_pPrecision->setChecked(precision == Precision::kFull);
    // The texture shown, again at the new precision.
    m_selecting.Rebuild();
}

void Viewing::FlipSource() {
    if (m_comparison.Flip()) {
        m_selecting.ShowAgain();
    }
}

void Viewing::StepDifferenceScale() {
    if (m_comparison.StepDifferenceScale()) {
        m_selecting.ShowAgain();
    }
}

void Viewing::ToggleSplit() {
    if (m_comparison.ToggleSplit()) {
        m_selecting.ShowAgain();
    }
}

void Viewing::ToggleDifferenceThreshold() {
    if (m_comparison.ToggleDifferenceThreshold()) {
        m_selecting.ShowAgain();
    }
}

}  // namespace marrowix
