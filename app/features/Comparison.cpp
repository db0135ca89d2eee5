#include "app/features/Comparison.h"

#include <QAction>
#include <thread>

#include "compare/Compare.h"
#include "compare/DifferenceImage.h"
#include "textureset/PreviewImage.h"
#include "textureset/SetCheck.h"

namespace marrowix {

Comparison::Comparison(SetDocument& document, PreviewView& preview, QObject* parent)
    : QObject(parent), m_document(document), m_preview(preview) {
    connect(&m_document, &SetDocument::otherForgotten, this, &Comparison::OnOtherForgotten);
}

void Comparison::OnOtherForgotten() {
    if (m_showingOther || m_preview.Mode() == ViewMode::kDifference) {
        m_preview.ForgetSet();  // it may show the other set's image
    }
    m_preview.SetDifference(nullptr);
    m_preview.SetSourceNote({});
    m_showingOther = false;
    ForgetDifferenceImages();
}

void Comparison::ForgetDifferenceImages() {
    m_measure.Cancel();  // it reads the two images
    m_first = Buffer<std::uint8_t>();
    m_second = Buffer<std::uint8_t>();
    m_pair.reset();
    m_measures.clear();
}

bool Comparison::ShowsDifference() const {
    return m_preview.Mode() == ViewMode::kDifference && m_difference.first.pixels != nullptr;
}

QString Comparison::DifferenceSuffix() const {
    return m_difference.threshold > 0 ? QStringLiteral("-diff-over-%1").arg(m_difference.threshold)
                                      : QStringLiteral("-diff-x%1").arg(m_difference.scale);
}

bool Comparison::Flip() {
    QString why;
    if (!m_document.EnsureOther(&why)) {
        m_preview.SetSourceNote(QStringLiteral("E: ") + why);
        return false;
    }
    m_showingOther = !m_showingOther;
    if (!m_document.Selected()) {
        m_preview.SetSourceNote(m_showingOther ? QStringLiteral("E: the other set") : QString());
        return false;
    }
    return true;
}

void Comparison::KeepFlip(bool flipped) {
    QString why;
    m_showingOther = flipped && m_document.EnsureOther(&why);
}

bool Comparison::ToggleSplit() {
    QString why;
    if (!m_split && !m_document.EnsureOther(&why)) {
        m_preview.SetSourceNote(QStringLiteral("S: ") + why);
        return false;
    }
    m_split = !m_split;
    return true;
}

bool Comparison::EnterDifference(ViewMode before) {
    QString why;
    if (!m_document.EnsureOther(&why)) {
        m_preview.SetSourceNote(QStringLiteral("7: ") + why);
        return false;
    }
    if (before != ViewMode::kDifference) {
        m_plainMode = before;
    }
    return true;
}

bool Comparison::StepDifferenceScale() {
    if (m_difference.threshold > 0) {
        m_difference.threshold = m_difference.threshold >= 32 ? 1 : m_difference.threshold * 2;
        m_lastThreshold = m_difference.threshold;
    } else {
        m_difference.scale = m_difference.scale >= 16 ? 1 : m_difference.scale * 4;
    }
    return m_preview.Mode() == ViewMode::kDifference;
}

bool Comparison::ToggleDifferenceThreshold() {
    m_difference.threshold = m_difference.threshold > 0 ? 0 : m_lastThreshold;
    return m_preview.Mode() == ViewMode::kDifference;
}

void Comparison::UpdateSplit(std::size_t index) {
    const SharedSet& current = m_document.Current();
    const SharedSet& otherSet = m_document.Other();
    const std::optional<std::size_t> other =
        m_split && otherSet && m_preview.Mode() != ViewMode::kDifference
            ? m_document.OtherIndex(index)
            : std::nullopt;
    if (!other) {
        return;  // the preview's image came without one
    }
    // Right of the divider whichever of the two E does not show.
    const CTextureSet& right = m_showingOther ? *current : *otherSet;
    const std::size_t rightIndex = m_showingOther ? index : *other;
    Result<Buffer<std::uint8_t>> dib = m_preview.GetPrecision() == Precision::kFull
                                           ? BuildImageDib(right, rightIndex, Precision::kFull)
                                           : BuildPreviewDib(right, rightIndex);
    const CTextureSet& left = m_showingOther ? *otherSet : *current;
    if (dib.ok()) {
        m_preview.SetSplit(std::move(dib.value), m_document.NameOf(left), m_document.NameOf(right));
    }
}

Result<Buffer<std::uint8_t>> Comparison::ImageOf(std::size_t index, SetDocument::Source* source) {
    const SharedSet& current = m_document.Current();
    const SharedSet& otherSet = m_document.Other();
    *source = {current, index};
    const bool difference = m_preview.Mode() == ViewMode::kDifference;
    const std::optional<std::size_t> counterpart =
        (m_showingOther || difference) ? m_document.OtherIndex(index) : std::nullopt;
    const bool hasOther = counterpart.has_value();
    const std::size_t other = counterpart.value_or(0);
    QString note;
    const QString otherName = !otherSet ? QString()
                              : !m_document.ComparingVersions()
                                  ? EncodingName(*otherSet)
                                  : QStringLiteral("the other version");
    if ((m_showingOther || difference) && otherSet && !hasOther) {
        note = QStringLiteral("no counterpart in %1").arg(otherName);
    } else if (m_showingOther && hasOther) {
        *source = {otherSet, other};
        // The other's offset here; the labels keep the loaded set's.
        note =
            QStringLiteral("%1, offset 0x%2; E: back")
                .arg(otherName, QString::number(otherSet->Entries()[other].offset, 16).toUpper());
    }
    m_preview.SetDifference(nullptr);
    const Pair pair{current.get(), index, otherSet.get(), other};
    if (!difference || !hasOther || m_pair != pair) {
        ForgetDifferenceImages();
    }
    if (difference && hasOther) {
        if (auto shown = DifferenceOf(index, other, &note)) {
            return std::move(*shown);
        }
    }
    m_preview.SetSourceNote(note);
    return m_preview.GetPrecision() == Precision::kFull
               ? BuildImageDib(*source->set, source->index, Precision::kFull)
               : BuildPreviewDib(*source->set, source->index);
}

std::optional<Result<Buffer<std::uint8_t>>> Comparison::DifferenceOf(std::size_t index,
                                                                     std::size_t other,
                                                                     QString* note) {
    const SharedSet& current = m_document.Current();
    const SharedSet& otherSet = m_document.Other();
    const Pair pair{current.get(), index, otherSet.get(), other};
    // The two images once for a pair: D and T only paint them again.
    Result<Buffer<std::uint8_t>> first;
    Result<Buffer<std::uint8_t>> second;
    const bool again = m_pair == pair;
    if (again) {
        first.value = std::move(m_first);
        second.value = std::move(m_second);
    } else {
        // The two decodes side by side, one on a thread of its own.
        std::jthread firstDecode([&] { first = BuildImageDib(*current, index, Precision::kFull); });
        second = BuildImageDib(*otherSet, other, Precision::kFull);
    }
    const std::optional<ImageView> a = first.ok() ? ViewDib(first.value) : std::nullopt;
    const std::optional<ImageView> b = second.ok() ? ViewDib(second.value) : std::nullopt;
    const bool sameSize = a && b && a->SameSize(*b);
    if (!sameSize) {
        *note = first.ok() && second.ok()
                    ? QStringLiteral("the two differ in size")
                    : QStringLiteral("no difference to show: ") +
                          QString::fromStdString(first.ok() ? second.error : first.error);
        return std::nullopt;
    }
    Result<Buffer<std::uint8_t>> shown;
    // The header, and room for the differences (not cleared: all of it is
    // written).
    shown.value = Buffer<std::uint8_t>(first.value.size());
    std::copy_n(first.value.data(), kDibHeaderSize, shown.value.data());
    const std::size_t bytes = shown.value.size() - kDibHeaderSize;
    const int threshold = m_difference.threshold;
    // The three blocks alike: their pixels compared byte by byte as stored.
    const std::uint64_t over = marrowix::DifferenceImage(
        first.value.data() + kDibHeaderSize, second.value.data() + kDibHeaderSize,
        shown.value.data() + kDibHeaderSize, bytes, m_difference.scale, threshold);
    // The views stay good: the blocks' pixels do not move with them.
    const ImageView firstImage = *a;
    const ImageView secondImage = *b;
    m_first = std::move(first.value);
    m_second = std::move(second.value);
    if (!again) {
        // The measures off the dialog's thread: the image shows first, the
        // readout says "measuring..." until they arrive. The images stay
        // until the measuring has ended (ForgetDifferenceImages).
        m_pair = pair;
        m_measure.Run(
            [firstImage, secondImage] {
                return QString::fromStdString(
                    DescribeMeasures(MeasureImages(firstImage, secondImage)));
            },
            [this](const QString& text) {
                m_measures = text;
                m_difference.summary = text + m_thresholdText;
                m_preview.SetDifference(&m_difference);
            });
    }
    m_difference.first = firstImage;
    m_difference.second = secondImage;
    m_difference.firstName = m_document.NameOf(*current);
    m_difference.secondName = m_document.NameOf(*otherSet);
    m_thresholdText = threshold > 0 ? QStringLiteral("; %1 texels differ by more than %2")
                                          .arg(QString::fromStdString(GroupDigits(over)))
                                          .arg(threshold)
                                    : QString();
    m_difference.summary =
        (m_measures.isEmpty() ? QStringLiteral("measuring...") : m_measures) + m_thresholdText;
    m_preview.SetDifference(&m_difference);
    m_preview.SetSourceNote(
        QStringLiteral("%1 against %2").arg(m_difference.firstName, m_difference.secondName));
    return shown;
}

}  // namespace marrowix
