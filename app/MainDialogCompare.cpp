// Comparison in the viewer: E flips the preview between the loaded set and
// the other one (the other encoding beside the listing, or the version given
// by --compare-with), and the view mode 7 shows the difference of the two.
#include <QAction>
#include <QLocale>
#include <cstdlib>
#include <cstring>

#include "app/MainDialog.h"
#include "app/NativePaths.h"
#include "app/grid/ThumbnailGrid.h"
#include "app/panels/StatsPanel.h"
#include "app/preview/PreviewView.h"
#include "compare/Compare.h"
#include "compare/DifferenceImage.h"
#include "textureset/PreviewImage.h"
#include "textureset/SetCheck.h"

namespace marrowix {
namespace {

QString EncodingName(const CTextureSet& set) {
    return set.GetMode() == kModeDxt ? QStringLiteral("dxt") : QStringLiteral("etc");
}

}  // namespace

void CMarrowix::SetCompareWith(const std::u16string& otherListing) {
    ForgetOther();
    m_compareWith = otherListing;
    WatchForChanges();
}

void CMarrowix::ForgetOther() {
    if (m_pOther && m_shownSource == m_pOther.get()) {
        m_pStats->Forget();  // its worker lets go of the other set first
        m_shownSource = nullptr;
    }
    if (m_showingOther || m_pPreview->Mode() == ViewMode::kDifference) {
        m_pPreview->ForgetSet();  // it may show the other set's image
    }
    m_pPreview->SetDifference(nullptr);
    m_pPreview->SetSourceNote({});
    m_pOther.reset();
    m_otherIndex.clear();
    m_showingOther = false;
    ForgetDifferenceImages();
}

void CMarrowix::ForgetDifferenceImages() {
    ++m_measureGeneration;
    if (m_measureWorker.joinable()) {
        m_measureWorker.join();
    }
    m_first = Buffer<std::uint8_t>();
    m_second = Buffer<std::uint8_t>();
    m_differencePair.reset();
    m_differenceMeasures.clear();
}

bool CMarrowix::EnsureOther(QString* why) {
    if (m_pOther) {
        return true;
    }
    if (!m_pTextureSet) {
        *why = QStringLiteral("no texture set is loaded");
        return false;
    }
    const bool versions = !m_compareWith.empty();
    const std::u16string listing = versions ? m_compareWith : m_pTextureSet->ListingPath();
    const bool dxt = m_pTextureSet->GetMode() == kModeDxt;
    const std::u16string mode = (dxt != versions) ? u"etc" : u"dxt";
    try {
        auto other = std::make_unique<CTextureSet>();
        OpenTextureSet(*other, listing, mode);
        auto missing = [&](const char* what, const std::u16string& path, const std::string& e) {
            *why = QStringLiteral("no %1 %2: %3 (%4)")
                       .arg(QString::fromStdU16String(mode), QLatin1String(what), PathFromU16(path),
                            QString::fromStdString(e));
            return false;
        };
        if (!other->HasListingFile()) {
            return missing("listing", other->ListingPath(), other->ListingError());
        }
        if (!other->HasOffsetTableFile()) {
            return missing("offset table", other->OffsetTablePath(), other->OffsetTableError());
        }
        if (!other->HasDataFile()) {
            return missing("data file", other->DataPath(), other->DataError());
        }
        if (versions) {
            const Pairing pairing = PairEntries(*m_pTextureSet, *other);
            m_otherIndex.assign(m_pTextureSet->GetEntryCount(), -1);
            for (const auto& [i, j] : pairing.pairs) {
                m_otherIndex[i] = static_cast<std::ptrdiff_t>(j);
            }
        }
        m_pOther = std::move(other);
    } catch (const std::bad_alloc&) {
        m_otherIndex.clear();
        *why = QStringLiteral("not enough memory to open the other set");
        return false;
    }
    return true;
}

std::optional<std::size_t> CMarrowix::OtherIndex(std::size_t index) const {
    if (!m_pOther) {
        return std::nullopt;
    }
    if (!m_compareWith.empty()) {
        return index < m_otherIndex.size() && m_otherIndex[index] >= 0
                   ? std::optional<std::size_t>(static_cast<std::size_t>(m_otherIndex[index]))
                   : std::nullopt;
    }
    return index < m_pOther->GetEntryCount() ? std::optional<std::size_t>(index) : std::nullopt;
}

void CMarrowix::QueuePreview() {
    // The same texture again (also when it was already to be shown again,
    // at another precision): the pin and the region stay.
    if (m_selected && (!m_pending || *m_pending == *m_selected)) {
        m_pPreview->KeepPinForNextTexture();
    }
    if (m_selected && !m_pending) {
        m_pending = m_selected;
        if (!m_previewQueued) {
            m_previewQueued = true;
            QMetaObject::invokeMethod(this, &CMarrowix::ShowPendingPreview, Qt::QueuedConnection);
        }
    }
}

void CMarrowix::FlipSource() {
    QString why;
    if (!EnsureOther(&why)) {
        m_pPreview->SetSourceNote(QStringLiteral("E: ") + why);
        return;
    }
    m_showingOther = !m_showingOther;
    if (m_selected) {
        QueuePreview();
    } else {
        m_pPreview->SetSourceNote(m_showingOther ? QStringLiteral("E: the other set") : QString());
    }
}

void CMarrowix::SetViewMode(ViewMode mode) {
    const ViewMode before = m_pPreview->Mode();
    if (mode == ViewMode::kDifference) {
        QString why;
        if (!EnsureOther(&why)) {
            m_pPreview->SetSourceNote(QStringLiteral("7: ") + why);
            for (QAction* action : m_pPreview->actions()) {
                if (action->isCheckable() && action->data().toInt() == static_cast<int>(before) &&
                    action != m_pPrecision && action != m_pGridAction) {
                    action->setChecked(true);
                }
            }
            return;
        }
        if (before != ViewMode::kDifference) {
            m_plainMode = before;
        }
    }
    m_pPreview->SetMode(mode);
    m_pGrid->SetMode(mode == ViewMode::kDifference ? m_plainMode : mode);
    if ((mode == ViewMode::kDifference) != (before == ViewMode::kDifference)) {
        QueuePreview();
    }
}

void CMarrowix::StepDifferenceScale() {
    if (m_difference.threshold > 0) {
        m_difference.threshold = m_difference.threshold >= 32 ? 1 : m_difference.threshold * 2;
        m_lastThreshold = m_difference.threshold;
    } else {
        m_difference.scale = m_difference.scale >= 16 ? 1 : m_difference.scale * 4;
    }
    if (m_pPreview->Mode() == ViewMode::kDifference) {
        QueuePreview();
    }
}

void CMarrowix::ToggleSplit() {
    QString why;
    if (!m_split && !EnsureOther(&why)) {
        m_pPreview->SetSourceNote(QStringLiteral("S: ") + why);
        return;
    }
    m_split = !m_split;
    QueuePreview();
}

void CMarrowix::UpdateSplit(std::size_t index) {
    const std::optional<std::size_t> other =
        m_split && m_pOther && m_pPreview->Mode() != ViewMode::kDifference ? OtherIndex(index)
                                                                           : std::nullopt;
    if (!other) {
        return;  // the preview's image came without one
    }
    // Right of the divider whichever of the two E does not show.
    const CTextureSet& right = m_showingOther ? *m_pTextureSet : *m_pOther;
    const std::size_t rightIndex = m_showingOther ? index : *other;
    Result<Buffer<std::uint8_t>> dib = m_pPreview->GetPrecision() == Precision::kFull
                                           ? BuildImageDib(right, rightIndex, Precision::kFull)
                                           : BuildPreviewDib(right, rightIndex);
    auto name = [&](const CTextureSet& set) {
        return !m_compareWith.empty() ? (&set == m_pTextureSet.get() ? QStringLiteral("this")
                                                                     : QStringLiteral("other"))
                                      : EncodingName(set);
    };
    const CTextureSet& left = m_showingOther ? *m_pOther : *m_pTextureSet;
    if (dib.ok()) {
        m_pPreview->SetSplit(std::move(dib.value), name(left), name(right));
    }
}

void CMarrowix::ToggleDifferenceThreshold() {
    m_difference.threshold = m_difference.threshold > 0 ? 0 : m_lastThreshold;
    if (m_pPreview->Mode() == ViewMode::kDifference) {
        QueuePreview();
    }
}

Result<Buffer<std::uint8_t>> CMarrowix::PreviewImageOf(std::size_t index,
                                                       const CTextureSet** source,
                                                       std::size_t* sourceIndex) {
    *source = m_pTextureSet.get();
    *sourceIndex = index;
    const bool difference = m_pPreview->Mode() == ViewMode::kDifference;
    const std::optional<std::size_t> counterpart =
        (m_showingOther || difference) ? OtherIndex(index) : std::nullopt;
    const bool hasOther = counterpart.has_value();
    const std::size_t other = counterpart.value_or(0);
    QString note;
    const QString otherName = !m_pOther               ? QString()
                              : m_compareWith.empty() ? EncodingName(*m_pOther)
                                                      : QStringLiteral("the other version");
    if ((m_showingOther || difference) && m_pOther && !hasOther) {
        note = QStringLiteral("no counterpart in %1").arg(otherName);
    } else if (m_showingOther && hasOther) {
        *source = m_pOther.get();
        *sourceIndex = other;
        // The other's offset here; the labels keep the loaded set's.
        note =
            QStringLiteral("%1, offset 0x%2; E: back")
                .arg(otherName, QString::number(m_pOther->Entries()[other].offset, 16).toUpper());
    }
    m_pPreview->SetDifference(nullptr);
    const DifferencePair pair{m_pTextureSet.get(), index, m_pOther.get(), other};
    if (!difference || !hasOther || m_differencePair != pair) {
        ForgetDifferenceImages();
    }
    if (difference && hasOther) {
        // The two images once for a pair: D and T only paint them again.
        Result<Buffer<std::uint8_t>> first;
        Result<Buffer<std::uint8_t>> second;
        const bool again = m_differencePair == pair;
        if (again) {
            first.value = std::move(m_first);
            second.value = std::move(m_second);
        } else {
            // The two decodes side by side, one on a thread of its own.
            std::jthread firstDecode(
                [&] { first = BuildImageDib(*m_pTextureSet, index, Precision::kFull); });
            second = BuildImageDib(*m_pOther, other, Precision::kFull);
        }
        const bool sameSize =
            first.ok() && second.ok() &&
            ReadDibHeader(first.value).biWidth == ReadDibHeader(second.value).biWidth &&
            ReadDibHeader(first.value).biHeight == ReadDibHeader(second.value).biHeight;
        if (sameSize) {
            Result<Buffer<std::uint8_t>> shown;
            // The header, and room for the differences (not cleared: all
            // of it is written).
            shown.value = Buffer<std::uint8_t>(first.value.size());
            std::copy_n(first.value.data(), kDibHeaderSize, shown.value.data());
            const std::size_t bytes = shown.value.size() - kDibHeaderSize;
            const std::uint8_t* a = first.value.data() + kDibHeaderSize;
            const std::uint8_t* b = second.value.data() + kDibHeaderSize;
            const int threshold = m_difference.threshold;
            const std::uint64_t over = marrowix::DifferenceImage(
                a, b, shown.value.data() + kDibHeaderSize, bytes, m_difference.scale, threshold);
            // The images' rows bottom up, as the bitmap keeps them.
            const auto width = static_cast<std::uint32_t>(ReadDibHeader(first.value).biWidth);
            const auto height = static_cast<std::uint32_t>(ReadDibHeader(first.value).biHeight);
            const std::size_t top = std::size_t{width} * 4 * (height == 0 ? 0 : height - 1);
            m_first = std::move(first.value);
            m_second = std::move(second.value);
            if (!again) {
                // The measures off the dialog's thread: the image shows first,
                // the readout says "measuring..." until they arrive.
                m_differencePair = pair;
                const std::uint64_t generation = ++m_measureGeneration;
                m_measureWorker = std::thread([this, a, b, top, width, height, generation] {
                    const Measures measures = MeasureImages(
                        a + top, b + top, width, height, -static_cast<std::ptrdiff_t>(width) * 4);
                    const QString text = QString::fromStdString(DescribeMeasures(measures));
                    QMetaObject::invokeMethod(
                        this,
                        [this, text, generation] {
                            if (generation != m_measureGeneration) {
                                return;
                            }
                            m_differenceMeasures = text;
                            m_difference.summary = text + m_differenceThreshold;
                            m_pPreview->SetDifference(&m_difference);
                        },
                        Qt::QueuedConnection);
                });
            }
            m_difference.first = m_first.data();
            m_difference.second = m_second.data();
            m_difference.firstName =
                m_compareWith.empty() ? EncodingName(*m_pTextureSet) : QStringLiteral("this");
            m_difference.secondName =
                m_compareWith.empty() ? EncodingName(*m_pOther) : QStringLiteral("other");
            m_differenceThreshold = threshold > 0
                                        ? QStringLiteral("; %1 texels differ by more than %2")
                                              .arg(QString::fromStdString(GroupDigits(over)))
                                              .arg(threshold)
                                        : QString();
            m_difference.summary = (m_differenceMeasures.isEmpty() ? QStringLiteral("measuring...")
                                                                   : m_differenceMeasures) +
                                   m_differenceThreshold;
            m_pPreview->SetDifference(&m_difference);
            m_pPreview->SetSourceNote(QStringLiteral("%1 against %2")
                                          .arg(m_difference.firstName, m_difference.secondName));
            return shown;
        }
        note = first.ok() && second.ok()
                   ? QStringLiteral("the two differ in size")
                   : QStringLiteral("no difference to show: ") +
                         QString::fromStdString(first.ok() ? second.error : first.error);
    }
    m_pPreview->SetSourceNote(note);
    return m_pPreview->GetPrecision() == Precision::kFull
               ? BuildImageDib(**source, *sourceIndex, Precision::kFull)
               : BuildPreviewDib(**source, *sourceIndex);
}

}  // namespace marrowix
