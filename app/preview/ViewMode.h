// How the preview shows a pixel: the view modes, the precision's name, a
// source pixel as a mode shows it, and what the difference view shows.
#pragma once

#include <QRgb>
#include <QString>

#include "decode/Decode.h"
#include "decode/Image.h"

namespace marrowix {

// kDifference shows an image of differences (see PreviewDifference).
enum class ViewMode { kRgb, kRgba, kRed, kGreen, kBlue, kAlpha, kDifference };

// "RGB", "RGBA", "R", "G", "B", "A", "DIFF".
QString ViewModeName(ViewMode mode);
// "4-bit", "8-bit".
QString PrecisionName(Precision precision);

// One source pixel (0xAARRGGBB, the image's bytes with the fourth as alpha)
// as the mode shows it; `checker` is the checkerboard's grey under it
// (thumbnails/Checker.h). At kNibbles the pixel is the preview block's, each
// nibble n held as n x 16, and a channel shown alone or as an alpha is
// widened to n x 17; at kFull its bytes are 8-bit values as they are.
QRgb ShowPixel(QRgb pixel, ViewMode mode, int checker, Precision precision = Precision::kNibbles);

// A preview block's pixel (each nibble n as n x 16) with every channel
// widened exactly to n x 17.
QRgb ExactPixel(QRgb previewPixel);

// What the difference view shows beside its image: the two 8-bit images
// compared (preview blocks' form: bottom-up, 0xAARRGGBB), their names, the
// scale of the differences shown and the whole texture's measures.
struct PreviewDifference {
    ImageView first;  // the two images the differences are of
    ImageView second;
    QString firstName;
    QString secondName;
    int scale = 1;
    // Above 0: the texels whose largest channel difference exceeds it, in
    // red over the texture dimmed, instead of the differences scaled.
    int threshold = 0;
    QString summary;
};

}  // namespace marrowix
