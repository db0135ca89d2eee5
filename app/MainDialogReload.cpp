// The main dialog's reload: the set read again when its files change (or on
// F5) and swapped in, keeping what the user was looking at.
#include <QAction>
#include <QLabel>
#include <QScrollBar>
#include <QTime>
#include <QTreeView>

#include <set>

#include "app/MainDialog.h"
#include "app/NativePaths.h"
#include "app/features/Comparison.h"
#include "app/features/Survey.h"
#include "app/grid/ThumbnailGrid.h"
#include "app/panels/StatsPanel.h"
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

void CMarrowix::WatchForChanges() {
    if (!m_pTextureSet) {
        return;
    }
    if (!m_pReload) {
        m_pReload = new SetReload(this);
        connect(m_pReload, &SetReload::reloaded, this, &CMarrowix::OnReloaded);
        connect(AddWindowAction(QStringLiteral("Reload"), {QKeySequence(Qt::Key_F5)}),
                &QAction::triggered, this, &CMarrowix::Reload);
    }
    m_pReload->Watch(m_pTextureSet->ListingPath(), m_pTextureSet->GetMode(),
                     m_pDocument->CompareWith());
}

void CMarrowix::Reload() {
    if (m_pReload) {
        m_pReload->ReloadNow();
    }
}

void CMarrowix::OnReloaded() {
    SharedSet set = m_pReload->TakeSet();
    if (!m_pTextureSet) {
        return;
    }
    const QString time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
    // A file that was there and is gone (or cannot be read now): what is on
    // screen stays, and the readout says so.
    QString gone;
    if (!set || !set->HasListingFile()) {
        gone = FileName(m_pTextureSet->ListingPath());
    } else if (m_pTextureSet->HasOffsetTableFile() && !set->HasOffsetTableFile()) {
        gone = FileName(set->OffsetTablePath());
    } else if (m_pTextureSet->HasDataFile() && !set->HasDataFile()) {
        gone = FileName(set->DataPath());
    }
    if (!gone.isEmpty()) {
        m_pPreview->SetSourceNote(
            QStringLiteral("%1 is gone; showing what was read (%2)").arg(gone, time));
        return;
    }
    // The texture shown, found again by category and name, as every other
    // entry is for the grid's thumbnails.
    const std::optional<std::size_t> selected = m_pDocument->Selected();
    std::optional<std::size_t> again;
    std::vector<std::ptrdiff_t> newIndex(m_pTextureSet->Entries().size(), -1);
    for (const auto& [first, second] : PairEntries(*m_pTextureSet, *set).pairs) {
        newIndex[first] = static_cast<std::ptrdiff_t>(second);
        if (selected && first == *selected) {
            again = second;
        }
    }
    const bool gridShown = ShowingGrid();
    const int gridTop = Grid()->verticalScrollBar()->value();
    const bool flipped = ShowingOther();
    const QString shownName =
        selected ? QString::fromStdU16String(m_pTextureSet->GetEntryName(*selected)) : QString();
    // The categories open, by name, to open again.
    std::set<std::u16string> open;
    for (std::size_t c = 0; c < m_pTextureSet->GetCategoryCount(); ++c) {
        if (const QModelIndex node = m_pModel->IndexOfCategory(c);
            node.isValid() && m_pTree->isExpanded(node)) {
            open.insert(m_pTextureSet->GetCategoryName(c));
        }
    }
    // The other encoding or version kept when none of its files changed.
    m_pDocument->SetCurrent(std::move(set), std::move(newIndex), !m_pReload->OtherChanged());
    for (std::size_t c = 0; c < m_pTextureSet->GetCategoryCount(); ++c) {
        if (open.count(m_pTextureSet->GetCategoryName(c)) != 0) {
            m_pTree->expand(m_pModel->IndexOfCategory(c));
        }
    }
    m_pComparison->KeepFlip(flipped);
    QString note = QStringLiteral("reloaded %1").arg(time);
    if (const QString incomplete = Incomplete(*m_pTextureSet, m_pReload->TableBytesNeeded());
        !incomplete.isEmpty()) {
        note += QStringLiteral("; ") + incomplete;
    }
    // Said once the texture shows again (until the next selection).
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(this, &CMarrowix::previewShown, this, [this, once, note] {
        QObject::disconnect(*once);
        m_pPreview->SetSourceNote(note);
    });
    if (again) {
        m_pPreview->KeepPinForNextTexture();
        m_pTree->setCurrentIndex(m_pModel->IndexOfEntry(*again));
    } else {
        QObject::disconnect(*once);
        if (!shownName.isEmpty()) {
            // What was shown is gone from the listing: nothing stale stays.
            m_pPreview->Unpin();
            m_pPreview->SetTexture(Buffer<std::uint8_t>(), nullptr, 0);
            qobject_cast<QLabel*>(GetDlgItem(IDC_DIMENSIONS))->setText(QStringLiteral("---"));
            qobject_cast<QLabel*>(GetDlgItem(IDC_OFFSET))->setText(QStringLiteral("Offset: ---"));
            note = QStringLiteral("%1 is no longer in the listing; %2").arg(shownName, note);
        }
        m_pPreview->SetSourceNote(note);
    }
    if (gridShown) {
        m_pSurvey->Update();
        Grid()->verticalScrollBar()->setValue(gridTop);
    }
    WatchForChanges();
}

}  // namespace marrowix
