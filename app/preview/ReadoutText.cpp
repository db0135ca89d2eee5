#include "app/preview/ReadoutText.h"

#include <cstdlib>
#include <cstring>

namespace marrowix {
namespace {

QString Hex(std::uint64_t value, int digits) {
    return QStringLiteral("0x") +
           QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

QString ZoomText(double zoom) {
    return QString::number(zoom * 100, 'g', 4) + QLatin1Char('%');
}

QString Rgba(std::uint32_t p) {
    return QStringLiteral("R %1 G %2 B %3 A %4")
        .arg((p >> 16) & 255)
        .arg((p >> 8) & 255)
        .arg(p & 255)
        .arg(p >> 24);
}

}  // namespace

QString ViewReadout(const ViewFacts& v) {
    const PreviewDifference* difference = v.mode == ViewMode::kDifference ? v.difference : nullptr;
    QString state =
        (v.encoding.isEmpty() ? QString() : v.encoding + QStringLiteral("  ")) +
        ViewModeName(v.mode) +
        (difference != nullptr ? (difference->threshold > 0
                                      ? QStringLiteral(" over %1 8-bit").arg(difference->threshold)
                                      : QStringLiteral(" x%1 8-bit").arg(difference->scale))
                               : QLatin1Char(' ') + PrecisionName(v.precision)) +
        QStringLiteral("  ") + (v.fit ? QStringLiteral("fit ") : QString()) + ZoomText(v.zoom);
    if (!v.sourceNote.isEmpty()) {
        state += QStringLiteral("  (") + v.sourceNote + QLatin1Char(')');
    }
    if (difference != nullptr && !difference->summary.isEmpty()) {
        state += QStringLiteral("  ") + difference->summary;
    }
    if (!v.levels.IsIdentity() && difference == nullptr) {
        static const char* const kChannels[] = {"R", "G", "B", "A"};
        state += QStringLiteral("  levels %1%2..%3 gamma %4")
                     .arg(v.levels.channel < 0
                              ? QString()
                              : QString::fromLatin1(kChannels[v.levels.channel]) + QLatin1Char(' '))
                     .arg(v.levels.black)
                     .arg(v.levels.white)
                     .arg(v.levels.gamma, 0, 'f', 2);
    }
    if (v.region) {
        state += QStringLiteral("  region %1,%2 to %3,%4 (%5 x %6)")
                     .arg(v.region->left())
                     .arg(v.region->top())
                     .arg(v.region->right())
                     .arg(v.region->bottom())
                     .arg(v.region->width())
                     .arg(v.region->height());
    }
    return state;
}

QString DifferenceTexelReadout(QPoint texel, const QString& firstName, std::uint32_t a,
                               const QString& secondName, std::uint32_t b) {
    std::uint32_t d = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int va = static_cast<int>((a >> shift) & 255);
        const int vb = static_cast<int>((b >> shift) & 255);
        d |= static_cast<std::uint32_t>(std::abs(va - vb)) << shift;
    }
    return QStringLiteral("x %1, y %2  %3 %4  %5 %6  difference %7")
        .arg(texel.x())
        .arg(texel.y())
        .arg(firstName, Rgba(a), secondName, Rgba(b), Rgba(d));
}

QString TexelReadout(const TexelFacts& f) {
    const std::optional<TexelLocation>& where = f.where;
    const int value = where ? where->texel : f.value;
    QString text = QStringLiteral("x %1, y %2  %3 (R %4 G %5 B %6 A %7)")
                       .arg(f.texel.x())
                       .arg(f.texel.y())
                       .arg(Hex(static_cast<std::uint64_t>(value), 4))
                       .arg(value >> 12)
                       .arg((value >> 8) & 15)
                       .arg((value >> 4) & 15)
                       .arg(value & 15);
    const bool full = f.precision == Precision::kFull;
    if (full) {
        // At full precision, the 8-bit values beside the nibbles.
        const std::uint32_t rgba = where ? where->full : f.shown;
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

TexelFacts FactsOfTexel(QPoint texel, std::uint32_t pixel, Precision precision,
                        const CTextureSet* set, std::size_t index) {
    TexelFacts facts;
    facts.texel = texel;
    facts.value =
        static_cast<std::uint16_t>(((qRed(pixel) >> 4) << 12) | ((qGreen(pixel) >> 4) << 8) |
                                   ((qBlue(pixel) >> 4) << 4) | (qAlpha(pixel) >> 4));
    facts.shown = pixel;
    facts.precision = precision;
    if (set != nullptr) {
        Result<TexelLocation> found =
            LocateTexel(*set, index, static_cast<std::uint32_t>(texel.x()),
                        static_cast<std::uint32_t>(texel.y()));
        if (found.ok()) {
            facts.where = std::move(found.value);
        }
    }
    return facts;
}

QString SplitTexelReadout(const QString& name, std::uint32_t pixel, Precision precision) {
    if (precision == Precision::kNibbles) {
        pixel = ExactPixel(pixel);
    }
    return QStringLiteral("  B %1 R %2 G %3 B %4 A %5")
        .arg(name)
        .arg(qRed(pixel))
        .arg(qGreen(pixel))
        .arg(qBlue(pixel))
        .arg(qAlpha(pixel));
}

QString PreviewReadout(const PreviewFacts& facts) {
    const QString state = ViewReadout(facts.view);
    if (!facts.texel || facts.shown == nullptr || facts.shown->Empty()) {
        return state;
    }
    const QPoint texel = *facts.texel;
    QString text =
        state + QStringLiteral("  |  ") + (facts.pinned ? QStringLiteral("pinned ") : QString());
    const PreviewDifference* difference = facts.view.difference;
    if (facts.view.mode == ViewMode::kDifference && difference != nullptr) {
        const auto y = static_cast<std::uint32_t>(texel.y());
        const std::size_t x = std::size_t(texel.x()) * 4;
        std::uint32_t a = 0;
        std::uint32_t b = 0;
        std::memcpy(&a, difference->first.Row(y) + x, 4);
        std::memcpy(&b, difference->second.Row(y) + x, 4);
        text += DifferenceTexelReadout(texel, difference->firstName, a, difference->secondName, b);
    } else {
        text += TexelReadout(FactsOfTexel(texel, facts.shown->Row(texel.y())[texel.x()],
                                          facts.view.precision, facts.set, facts.index));
    }
    const ShownImage* split = facts.split;
    if (split != nullptr && !split->Empty() && texel.x() < split->Width() &&
        texel.y() < split->Height()) {
        text += SplitTexelReadout(facts.splitName, split->Row(texel.y())[texel.x()],
                                  facts.view.precision);
    }
    return text;
}

}  // namespace marrowix
