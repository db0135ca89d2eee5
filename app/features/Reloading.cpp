#include "app/features/Reloading.h"

#include <QAction>
#include <QLabel>
#include <QScrollBar>
#include <QTime>
#include <QTreeView>
#include <set>

#include "app/DialogBuilder.h"
#include "app/document/SetDocument.h"
#include "app/features/Comparison.h"
#include "app/features/Survey.h"
#include "app/grid/ThumbnailGrid.h"
#include "app/preview/PreviewView.h"
#include "app/resources/Resource.h"
#include "app/session/SetReload.h"
#include "app/tree/TextureTreeModel.h"
#include "compare/Compare.h"
#include "textureset/SetCheck.h"

namespace marrowix {
namespace {

QString FileName(const std::u16string& path) {
    const std::size_t slash = path.find_last_of(u'/');
    return QString::fromStdU16String(slash == std::u16string::npos ? path : path.substr(slash + 1));
}

// Which of the set's files is shorter than its listing needs, as --check
// would say it: the table when a texture line's entry lies beyond it, the
// data file when an entry's data does. A set caught while it is written.
QString Incomplete(const CTextureSet& set, std::uint64_t tableBytes) {
    const InputFile* table = set.GetOffsetTableFile();
    if (table != nullptr && table->Size() < tableBytes) {
        return QStringLiteral("%1 is incomplete").arg(FileName(set.OffsetTablePath()));
    }
    for (const StoredEntry& e : set.Entries()) {
        if (EntryDataProblem(set, e) == "data-past-end") {
            return QStringLiteral("%1 is incomplete").arg(FileName(set.DataPath()));
        }
    }
    return {};
}

}  // namespace

Reloading::Reloading(const ViewerParts& parts, Comparison& comparison, Survey& survey,
                     QObject* parent)
    : QObject(parent), m_parts(parts), m_comparison(comparison), m_survey(survey) {}

void Reloading::Watch() {
    const SharedSet& set = m_parts.document->Current();
    if (!set) {
        return;
    }
    if (!m_pReload) {
        m_pReload = new SetReload(this);
        connect(m_pReload, &SetReload::reloaded, this, &Reloading::OnReloaded);
        connect(m_parts.addAction(QStringLiteral("Reload"), {QKeySequence(Qt::Key_F5)}),
                &QAction::triggered, this, &Reloading::Reload);
    }
    m_pReload->Watch(set->ListingPath(), set->GetMode(), m_parts.document->CompareWith());
}

void Reloading::Reload() {
    if (m_pReload) {
        m_pReload->ReloadNow();
    }
}

void Reloading::OnReloaded() {
    SharedSet set = m_pReload->TakeSet();
    // The set before, held until the new one is in.
    const SharedSet before = m_parts.document->Current();
    if (!before) {
        return;
    }
    const QString time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
    // A file that was there and is gone (or cannot be read now): what is on
    // screen stays, and the readout says so.
    QString gone;
    if (!set || !set->HasListingFile()) {
        gone = FileName(before->ListingPath());
    } else if (before->HasOffsetTableFile() && !set->HasOffsetTableFile()) {
        gone = FileName(set->OffsetTablePath());
    } else if (before->HasDataFile() && !set->HasDataFile()) {
        gone = FileName(set->DataPath());
    }
    if (!gone.isEmpty()) {
        m_parts.preview->SetSourceNote(
            QStringLiteral("%1 is gone; showing what was read (%2)").arg(gone, time));
        return;
    }
    // The texture shown, found again by category and name, as every other
    // entry is for the grid's thumbnails.
    const std::optional<std::size_t> selected = m_parts.document->Selected();
    std::optional<std::size_t> again;
    std::vector<std::ptrdiff_t> newIndex(before->Entries().size(), -1);
    for (const auto& [first, second] : PairEntries(*before, *set).pairs) {
        newIndex[first] = static_cast<std::ptrdiff_t>(second);
        if (selected && first == *selected) {
            again = second;
        }
    }
    const bool gridShown = m_survey.Showing();
    const int gridTop = m_survey.Grid()->verticalScrollBar()->value();
    const bool flipped = m_comparison.ShowingOther();
    const QString shownName =
        selected ? QString::fromStdU16String(before->GetEntryName(*selected)) : QString();
    // The categories open, by name, to open again.
    std::set<std::u16string> open;
    for (std::size_t c = 0; c < before->GetCategoryCount(); ++c) {
        if (const QModelIndex node = m_parts.model->IndexOfCategory(c);
            node.isValid() && m_parts.tree->isExpanded(node)) {
            open.insert(before->GetCategoryName(c));
        }
    }
    // The other encoding or version kept when none of its files changed.
    m_parts.document->SetCurrent(set, std::move(newIndex), !m_pReload->OtherChanged());
    for (std::size_t c = 0; c < set->GetCategoryCount(); ++c) {
        if (open.count(set->GetCategoryName(c)) != 0) {
            m_parts.tree->expand(m_parts.model->IndexOfCategory(c));
        }
    }
    m_comparison.KeepFlip(flipped);
    QString note = QStringLiteral("reloaded %1").arg(time);
    if (const QString incomplete = Incomplete(*set, m_pReload->TableBytesNeeded());
        !incomplete.isEmpty()) {
        note += QStringLiteral("; ") + incomplete;
    }
    // Said once the texture shows again (until the next selection).
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(m_parts.document, &SetDocument::imageShown, this, [this, once, note] {
        QObject::disconnect(*once);
        m_parts.preview->SetSourceNote(note);
    });
    if (again) {
        m_parts.preview->KeepPinForNextTexture();
        m_parts.tree->setCurrentIndex(m_parts.model->IndexOfEntry(*again));
    } else {
        QObject::disconnect(*once);
        if (!shownName.isEmpty()) {
            // What was shown is gone from the listing: nothing stale stays.
            m_parts.preview->Unpin();
            m_parts.preview->SetTexture(Buffer<std::uint8_t>(), nullptr, 0);
            qobject_cast<QLabel*>(FindControl(*m_parts.window, IDC_DIMENSIONS))
                ->setText(QStringLiteral("---"));
            qobject_cast<QLabel*>(FindControl(*m_parts.window, IDC_OFFSET))
                ->setText(QStringLiteral("Offset: ---"));
            note = QStringLiteral("%1 is no longer in the listing; %2").arg(shownName, note);
        }
        m_parts.preview->SetSourceNote(note);
    }
    if (gridShown) {
        m_survey.Update();
        m_survey.Grid()->verticalScrollBar()->setValue(gridTop);
    }
    Watch();
}

}  // namespace marrowix
