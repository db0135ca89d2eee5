// The preview's readout: the view mode and zoom, and for the texel under
// the pointer its value and where it comes from in the data file.
#include <cstdlib>
#include <cstring>

#include "app/preview/PreviewView.h"
#include "decode/Decode.h"

namespace marrowix {
namespace {

QString Hex(std::uint64_t value, int digits) {
    return QStringLiteral("0x") +
           QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

QString ZoomText(double zoom) {
    return QString::number(zoom * 100, 'g', 4) + QLatin1Char('%');
}

}  // namespace

namespace {

QString Rgba(std::uint32_t p) {
    return QStringLiteral("R %1 G %2 B %3 A %4")
        .arg((p >> 16) & 255)
        .arg((p >> 8) & 255)
        .arg(p & 255)
        .arg(p >> 24);
}

}  // namespace

QString PreviewView::TexelText(QPoint texel) const {
    if (m_mode == ViewMode::kDifference && m_difference != nullptr) {
        // Both texels at 8 bits and their difference, unscaled.
        const std::size_t at =
            kDibHeaderSize + (std::size_t(m_height - 1 - texel.y()) * std::size_t(m_width) +
                              std::size_t(texel.x())) *
                                 4;
        std::uint32_t a = 0;
        std::uint32_t b = 0;
        std::memcpy(&a, m_difference->first + at, 4);
        std::memcpy(&b, m_difference->second + at, 4);
        std::uint32_t d = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const int va = static_cast<int>((a >> shift) & 255);
            const int vb = static_cast<int>((b >> shift) & 255);
            d |= static_cast<std::uint32_t>(std::abs(va - vb)) << shift;
        }
        return QStringLiteral("x %1, y %2  %3 %4  %5 %6  difference %7")
            .arg(texel.x())
            .arg(texel.y())
            .arg(m_difference->firstName, Rgba(a), m_difference->secondName, Rgba(b), Rgba(d));
    }
    const QRgb pixel = Row(texel.y())[texel.x()];
    int value = ((qRed(pixel) >> 4) << 12) | ((qGreen(pixel) >> 4) << 8) |
                ((qBlue(pixel) >> 4) << 4) | (qAlpha(pixel) >> 4);
    std::optional<TexelLocation> where;
    if (m_set != nullptr) {
        Result<TexelLocation> found =
            LocateTexel(*m_set, m_index, static_cast<std::uint32_t>(texel.x()),
                        static_cast<std::uint32_t>(texel.y()));
        if (found.ok()) {
            where = std::move(found.value);
            value = where->texel;
        }
    }
    QString text = QStringLiteral("x %1, y %2  %3 (R %4 G %5 B %6 A %7)")
                       .arg(texel.x())
                       .arg(texel.y())
                       .arg(Hex(static_cast<std::uint64_t>(value), 4))
                       .arg(value >> 12)
                       .arg((value >> 8) & 15)
                       .arg((value >> 4) & 15)
                       .arg(value & 15);
    const bool full = m_precision == Precision::kFull;
    if (full) {
        // At full precision, the 8-bit values beside the nibbles.
        const std::uint32_t rgba = where ? where->full : pixel;
        text += QStringLiteral("  8-bit R %1 G %2 B %3 A %4")
                    .arg((rgba >> 16) & 255)
                    .arg((rgba >> 8) & 255)
                    .arg(rgba & 255)
                    .arg(rgba >> 24);
    }
    if (!where) {
        return text;
    }
    const bool missing = where->bytes.empty();
    const bool partly = !missing && where->bytes.size() < where->size;
    if (!where->hasBlock) {
        text += QStringLiteral("  at %1").arg(Hex(where->offset, 1));
    } else {
        text += QStringLiteral("  block %1,%2 at %3")
                    .arg(where->blockColumn)
                    .arg(where->blockRow)
                    .arg(Hex(where->offset, 1));
        // An end point's 5:6:5 fields, and at full precision its colour
        // widened to 8 bits.
        auto endPoint = [&](std::uint16_t c) {
            QString t = Hex(c, 4);
            if (full) {
                t += QStringLiteral(" (%1 %2 %3)")
                         .arg(Expand5(c >> 11))
                         .arg(Expand6((c >> 5) & 63))
                         .arg(Expand5(c & 31));
            }
            return t;
        };
        if (!missing) {
            text += QStringLiteral("  c0 %1 c1 %2  a0 %3 a1 %4  colour %5 alpha %6")
                        .arg(endPoint(where->colour0), endPoint(where->colour1))
                        .arg(where->alpha0)
                        .arg(where->alpha1)
                        .arg(where->colourIndex)
                        .arg(where->alphaIndex);
        }
    }
    if (missing) {
        text += QStringLiteral(", beyond the end of the data file");
    } else if (partly) {
        text += QStringLiteral(", partly beyond the end of the data file");
    }
    return text;
}

QString PreviewView::ReadoutText() const {
    const bool difference = m_mode == ViewMode::kDifference && m_difference != nullptr;
    QString state =
        (m_encoding.isEmpty() ? QString() : m_encoding + QStringLiteral("  ")) +
        ViewModeName(m_mode) +
        (difference ? (m_difference->threshold > 0
                           ? QStringLiteral(" over %1 8-bit").arg(m_difference->threshold)
                           : QStringLiteral(" x%1 8-bit").arg(m_difference->scale))
                    : QLatin1Char(' ') + PrecisionName(m_precision)) +
        QStringLiteral("  ") + (m_fit ? QStringLiteral("fit ") : QString()) + ZoomText(m_zoom);
    if (!m_sourceNote.isEmpty()) {
        state += QStringLiteral("  (") + m_sourceNote + QLatin1Char(')');
    }
    if (difference && !m_difference->summary.isEmpty()) {
        state += QStringLiteral("  ") + m_difference->summary;
    }
    if (!m_levels.IsIdentity() && !difference) {
        static const char* const kChannels[] = {"R", "G", "B", "A"};
        state += QStringLiteral("  levels %1%2..%3 gamma %4")
                     .arg(m_levels.channel < 0
                              ? QString()
                              : QString::fromLatin1(kChannels[m_levels.channel]) + QLatin1Char(' '))
                     .arg(m_levels.black)
                     .arg(m_levels.white)
                     .arg(m_levels.gamma, 0, 'f', 2);
    }
    if (m_region) {
        state += QStringLiteral("  region %1,%2 to %3,%4 (%5 x %6)")
                     .arg(m_region->left())
                     .arg(m_region->top())
                     .arg(m_region->right())
                     .arg(m_region->bottom())
                     .arg(m_region->width())
                     .arg(m_region->height());
    }
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
