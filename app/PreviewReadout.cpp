// The preview's readout: the view mode and zoom, and for the texel under
// the pointer its value and where it comes from in the data file.
#include "app/PreviewView.h"
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

QString PreviewView::TexelText(QPoint texel) const {
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
    QString state = (m_encoding.isEmpty() ? QString() : m_encoding + QStringLiteral("  ")) +
                    ViewModeName(m_mode) + QLatin1Char(' ') + PrecisionName(m_precision) +
                    QStringLiteral("  ") + (m_fit ? QStringLiteral("fit ") : QString()) +
                    ZoomText(m_zoom);
    const std::optional<QPoint> texel = m_pinned ? m_pinned : m_hover;
    if (!texel || !HasImage()) {
        return state;
    }
    return state + QStringLiteral("  |  ") + (m_pinned ? QStringLiteral("pinned ") : QString()) +
           TexelText(*texel);
}

void PreviewView::UpdateReadout() {
    emit readoutChanged(ReadoutText());
}

}  // namespace marrowix
