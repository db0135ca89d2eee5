// The readout's words, made from what the preview knows and nothing else:
// the view's state (encoding, mode, precision, zoom, notes, levels, region)
// and the texel under the pointer (its value, and where it comes from in the
// data file). Pure functions, so that every wording can be checked without a
// window.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <cstdint>
#include <optional>

#include "app/preview/Levels.h"
#include "app/preview/ShownImage.h"
#include "app/preview/ViewMode.h"
#include "textureset/TexelAccess.h"
#include "textureset/TextureSet.h"

namespace marrowix {

struct ViewFacts {
    QString encoding;  // "dxt", "etc", or empty before any texture
    ViewMode mode = ViewMode::kRgb;
    Precision precision = Precision::kNibbles;
    const PreviewDifference* difference = nullptr;  // while the difference view shows one
    bool fit = false;
    double zoom = 1;
    QString sourceNote;
    Levels levels;
    std::optional<QRect> region;
};

// "dxt  RGB 4-bit  fit 50%  (NOTE)  levels ...  region ...".
QString ViewReadout(const ViewFacts& view);

struct TexelFacts {
    QPoint texel;
    std::uint16_t value = 0;  // RGBA4444
    std::uint32_t shown = 0;  // 0xAARRGGBB as shown, when there is no location
    Precision precision = Precision::kNibbles;
    std::optional<TexelLocation> where;  // its source in the data file, when found
};

// "x 1, y 2  0xF0F0 (R 15 G 0 B 15 A 0)" and, at 8-bit precision, the 8-bit
// values; then the block or texel offset and the block's fields, and whether
// the data file ends before them.
QString TexelReadout(const TexelFacts& facts);

// The facts of texel `texel` of an image shown, `pixel` its value as the
// image holds it, at `precision`: where it comes from in entry `index` of
// `set` when there is a set.
TexelFacts FactsOfTexel(QPoint texel, std::uint32_t pixel, Precision precision,
                        const CTextureSet* set, std::size_t index);

// The split view's other texel: "  B NAME R 1 G 2 B 3 A 4", at 8 bits.
QString SplitTexelReadout(const QString& name, std::uint32_t pixel, Precision precision);

// The difference view's texel: both values at 8 bits and their difference.
QString DifferenceTexelReadout(QPoint texel, const QString& firstName, std::uint32_t first,
                               const QString& secondName, std::uint32_t second);

// All the readout says of the preview: the view's state, then the texel
// under the pointer or the pinned one in the image shown (`shown`), from
// entry `index` of `set` when there is a set, and in the split view's other
// image (`split`, null when there is none).
struct PreviewFacts {
    ViewFacts view;
    std::optional<QPoint> texel;
    bool pinned = false;
    const ShownImage* shown = nullptr;
    const CTextureSet* set = nullptr;
    std::size_t index = 0;
    const ShownImage* split = nullptr;
    QString splitName;
};
QString PreviewReadout(const PreviewFacts& facts);

}  // namespace marrowix
