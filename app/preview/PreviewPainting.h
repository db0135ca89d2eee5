// The preview's painting, apart from the view that asks for it: the image's
// pixels as the view mode, precision and levels show them at the zoom, the
// frame along the image's edges, the pinned texel's marker, the region's
// outline and the split view's divider with its halves' names.
#pragma once

#include <QImage>
#include <QRect>
#include <QRgb>
#include <QString>
#include <array>
#include <cstdint>

#include "app/preview/Levels.h"
#include "app/preview/ShownImage.h"
#include "app/preview/ViewGeometry.h"
#include "app/preview/ViewMode.h"

class QPainter;

namespace marrowix {

// How source pixels are shown: the mode, the precision they are at, and the
// levels (for the display only) with their table.
struct PixelLook {
    ViewMode mode = ViewMode::kRgb;
    Precision precision = Precision::kNibbles;
    Levels levels;
    std::array<std::uint8_t, 256> table = Levels{}.Table();

    void SetLevels(const Levels& to) {
        levels = to;
        table = to.Table();
    }
    // Whether the levels change what is painted (not in the difference view).
    bool Leveled() const { return !levels.IsIdentity() && mode != ViewMode::kDifference; }
    // The pixel with the levels on: 8-bit values, the levels applied.
    QRgb Level(QRgb pixel) const;
    // Every pixel of an ARGB32 image so.
    QImage Level(QImage image) const;
};

// Beyond the image a mid grey: neither white nor the dialog's grey.
inline constexpr QRgb kBeyondImage = 0xFF808080u;

// The pixels of `image` within `area` (viewport pixels), in device pixels:
// each looks up the texel it shows when magnified, or zoomed out the average
// of the texels it covers, from the level of the halved images nearest above
// the zoom. No zoom step makes a scaled copy of the whole image.
void PaintImagePixels(QPainter& painter, const QRect& area, ShownImage& image,
                      const ViewGeometry& geometry, const PixelLook& look);
// One device pixel outside the image on every side.
void PaintFrame(QPainter& painter, const ViewGeometry& geometry);
// Lines one and two device pixels outside the texel, seen on any texel.
void PaintPinMarker(QPainter& painter, const ViewGeometry& geometry, QPoint texel);
// Dashes of black and white around the region.
void PaintRegionOutline(QPainter& painter, const ViewGeometry& geometry, const QRect& region);
// The divider at `at` across `view`, and each half's name above `foot`.
void PaintSplitDivider(QPainter& painter, const QRect& view, int at, int foot,
                       const QString& leftName, const QString& rightName);

}  // namespace marrowix
