// The preview's commands: keys of the dialog's window and entries of the
// preview's (and the grid's) context menu.
#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "app/MainDialog.h"
#include "app/features/Finding.h"
#include "app/features/Survey.h"
#include "app/grid/ThumbnailGrid.h"
#include "app/preview/PreviewView.h"
#include "app/preview/ReadoutLabel.h"

namespace marrowix {

QAction* CMarrowix::AddWindowAction(const QString& text, const QList<QKeySequence>& keys) {
    auto* action = new QAction(text, this);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    m_pPreview->addAction(action);
    return action;
}

void CMarrowix::AddPreviewActions() {
    auto add = [&](const QString& text, const QList<QKeySequence>& keys, auto slot) {
        QAction* action = AddWindowAction(text, keys);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
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
        QAction* action = add(QString::fromLatin1(text), {QKeySequence(key++)},
                              [this, m = mode] { SetViewMode(m); });
        action->setCheckable(true);
        action->setData(static_cast<int>(mode));
        action->setChecked(mode == ViewMode::kRgb);
        modes->addAction(action);
    }
    add(QStringLiteral("Difference scale x1, x4, x16 (threshold 1 to 32)"),
        {QKeySequence(Qt::Key_D)}, [this] { StepDifferenceScale(); });
    add(QStringLiteral("Difference: texels over a threshold"), {QKeySequence(Qt::Key_T)},
        [this] { ToggleDifferenceThreshold(); });
    add(QStringLiteral("Split view: this and the other encoding (or version)"),
        {QKeySequence(Qt::Key_S)}, [this] { ToggleSplit(); });
    add(QStringLiteral("Flip to the other encoding (or version)"), {QKeySequence(Qt::Key_E)},
        [this] { FlipSource(); });
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    m_pPreview->addAction(separator);
    add(QStringLiteral("Zoom in"),
        {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
        [this] { ShowingGrid() ? Grid()->Larger() : m_pPreview->ZoomIn(); });
    add(QStringLiteral("Zoom out"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)},
        [this] { ShowingGrid() ? Grid()->Smaller() : m_pPreview->ZoomOut(); });
    add(QStringLiteral("Real size"), {QKeySequence(Qt::CTRL | Qt::Key_0)},
        [this] { m_pPreview->RealSize(); });
    add(QStringLiteral("Fit"), {QKeySequence(Qt::Key_F)}, [this] { m_pPreview->Fit(); });
    m_pPrecision =
        add(QStringLiteral("8-bit precision"), {QKeySequence(Qt::Key_Q)},
            [this](bool on) { SetPrecision(on ? Precision::kFull : Precision::kNibbles); });
    m_pPrecision->setCheckable(true);
    auto* separator2 = new QAction(this);
    separator2->setSeparator(true);
    m_pPreview->addAction(separator2);
    add(QStringLiteral("Save image..."), {QKeySequence(Qt::CTRL | Qt::Key_S)},
        [this] { SaveImage(); });
    add(QStringLiteral("Copy image"), {QKeySequence(Qt::CTRL | Qt::Key_C)},
        [this] { CopyImage(); });
    add(QStringLiteral("Copy readout"), {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C)},
        [this] { QGuiApplication::clipboard()->setText(m_pReadout->text()); });
    add(QStringLiteral("Replace texture..."), {}, [this] { ReplaceTexture(); });
}

void CMarrowix::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            if (focusWidget() != m_pFinding->Field()) {  // Enter there goes to the next match
                accept();
            }
            return;
        }
        if (event->key() == Qt::Key_Escape) {
            // The find field, then a region, then a pinned readout, let go
            // first.
            if (m_pFinding->Showing()) {
                m_pFinding->Hide();
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
