#include "app/features/Selecting.h"

#include <QLabel>
#include <QTreeView>

#include "app/document/SetDocument.h"
#include "app/features/Comparison.h"
#include "app/features/Finding.h"
#include "app/features/Survey.h"
#include "app/preview/PreviewView.h"
#include "app/tree/TextureTreeModel.h"

namespace marrowix {

Selecting::Selecting(const ViewerParts& parts, Comparison& comparison, Survey& survey,
                     const Finding& finding, Labels labels, QObject* parent)
    : QObject(parent),
      m_parts(parts),
      m_comparison(comparison),
      m_survey(survey),
      m_finding(finding),
      m_labels(labels) {}

void Selecting::OnCurrentChanged() {
    SetDocument& document = *m_parts.document;
    if (!document.Current() || m_parts.model->rowCount() == 0 || m_finding.Refiltering()) {
        return;
    }
    const QModelIndex selected = m_parts.tree->selectionModel()->currentIndex();
    if (!selected.isValid()) {
        return;
    }
    const qlonglong value = selected.data(TextureTreeModel::ItemValueRole).toLongLong();
    if (value < 0) {
        if (const auto category = m_parts.model->CategoryOf(selected)) {
            document.SetLastChoice(SetDocument::Choice{true, *category});
        }
        m_survey.Update();
        return;  // a category: labels and preview stay
    }
    const auto index = static_cast<std::size_t>(value);
    document.SetLastChoice(SetDocument::Choice{false, index});
    m_survey.Update();
    const TextureEntry entry = document.Current()->GetEntry(index);
    m_labels.dimensions->setText(
        QString::asprintf("Dimensions: %d x %d", entry.width, entry.height));
    m_labels.offset->setText(QString::asprintf("Offset: 0x%X", entry.offset));
    Queue(index);
}

void Selecting::ShowAgain() {
    const std::optional<std::size_t> selected = m_parts.document->Selected();
    // The same texture again (also when it was already to be shown again,
    // at another precision): the pin and the region stay.
    if (selected && (!m_pending || *m_pending == *selected)) {
        m_parts.preview->KeepPinForNextTexture();
    }
    if (selected && !m_pending) {
        Queue(*selected);
    }
}

void Selecting::Rebuild() {
    if (const std::optional<std::size_t> selected = m_parts.document->Selected();
        selected && !m_pending) {
        Queue(*selected);
    }
}

void Selecting::Queue(std::size_t index) {
    m_pending = index;
    if (!m_queued) {
        m_queued = true;
        QMetaObject::invokeMethod(this, &Selecting::ShowPending, Qt::QueuedConnection);
    }
}

void Selecting::ShowPending() {
    m_queued = false;
    SetDocument& document = *m_parts.document;
    if (!m_pending || !document.Current()) {
        return;
    }
    const std::size_t index = *m_pending;
    m_pending.reset();
    PreviewView& preview = *m_parts.preview;
    // The image shown goes first, so that a new one of the same size reuses
    // its memory rather than touching fresh pages.
    preview.ReleaseImageMemory();
    // At 4-bit precision the preview block itself; at 8-bit the full one;
    // from the other set when flipped, or the difference of the two.
    SetDocument::Source source;
    Result<Buffer<std::uint8_t>> dib = m_comparison.ImageOf(index, &source);
    // A refused entry, or one of width or height 0, shows an empty preview.
    document.SetSelected(index);
    document.SetShown(source);
    preview.SetTexture(dib.ok() ? std::move(dib.value) : Buffer<std::uint8_t>(),
                       std::move(source.set), source.index);
    m_comparison.UpdateSplit(index);
    document.NotifyShown(index);
    if (dib.outOfMemory) {
        m_parts.warn(QStringLiteral("not enough memory to show this texture (%1)")
                         .arg(QString::fromStdString(dib.error)));
    }
}

}  // namespace marrowix
