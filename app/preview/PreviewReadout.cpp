// The preview's readout: the view mode and zoom, and for the texel under
// the pointer its value and where it comes from in the data file. The words
// are ReadoutText's; this gathers what they are made of.
#include <cstring>

#include "app/preview/PreviewView.h"
#include "app/preview/ReadoutText.h"
#include "textureset/TexelAccess.h"

namespace marrowix {

QString PreviewView::TexelText(QPoint texel) const {
    if (m_mode == ViewMode::kDifference && m_difference != nullptr) {
        const auto y = static_cast<std::uint32_t>(texel.y());
        const std::size_t x = std::size_t(texel.x()) * 4;
        std::uint32_t a = 0;
        std::uint32_t b = 0;
        std::memcpy(&a, m_difference->first.Row(y) + x, 4);
        std::memcpy(&b, m_difference->second.Row(y) + x, 4);
        return DifferenceTexelReadout(texel, m_difference->firstName, a, m_difference->secondName,
                                      b);
    }
    const QRgb pixel = Row(texel.y())[texel.x()];
    TexelFacts facts;
    facts.texel = texel;
    facts.value =
        static_cast<std::uint16_t>(((qRed(pixel) >> 4) << 12) | ((qGreen(pixel) >> 4) << 8) |
                                   ((qBlue(pixel) >> 4) << 4) | (qAlpha(pixel) >> 4));
    facts.shown = pixel;
    facts.precision = m_precision;
    if (m_set) {
        Result<TexelLocation> found =
            LocateTexel(*m_set, m_index, static_cast<std::uint32_t>(texel.x()),
                        static_cast<std::uint32_t>(texel.y()));
        if (found.ok()) {
            facts.where = std::move(found.value);
        }
    }
    return TexelReadout(facts);
}

QString PreviewView::ReadoutText() const {
    const QString state = ViewReadout({m_encoding, m_mode, m_precision, m_difference, m_fit, m_zoom,
                                       m_sourceNote, m_levels, m_region});
    const std::optional<QPoint> texel = m_pinned ? m_pinned : m_hover;
    if (!texel || !HasImage()) {
        return state;
    }
    return state + QStringLiteral("  |  ") + (m_pinned ? QStringLiteral("pinned ") : QString()) +
           TexelText(*texel) + SplitTexelText(*texel);
}

void PreviewView::UpdateReadout() {
    emit readoutChanged(ReadoutText());
}

}  // namespace marrowix
