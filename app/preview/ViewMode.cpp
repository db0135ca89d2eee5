#include "app/preview/ViewMode.h"

#include <algorithm>

namespace marrowix {
namespace {

// A channel as shown alone or as an alpha: from the preview block (a nibble
// in the high half of its byte) widened to the full range, 0xF0 becoming
// 0xFF; at full precision as it is.
int Widen(int byte, Precision precision) {
    return precision == Precision::kNibbles ? ExactFromPreviewByte(static_cast<std::uint8_t>(byte))
                                            : byte;
}

}  // namespace

QString ViewModeName(ViewMode mode) {
    switch (mode) {
        case ViewMode::kRgb:
            return QStringLiteral("RGB");
        case ViewMode::kRgba:
            return QStringLiteral("RGBA");
        case ViewMode::kRed:
            return QStringLiteral("R");
        case ViewMode::kGreen:
            return QStringLiteral("G");
        case ViewMode::kBlue:
            return QStringLiteral("B");
        case ViewMode::kAlpha:
            return QStringLiteral("A");
        case ViewMode::kDifference:
            return QStringLiteral("DIFF");
    }
    return {};
}

QString PrecisionName(Precision precision) {
    return precision == Precision::kNibbles ? QStringLiteral("4-bit") : QStringLiteral("8-bit");
}

QRgb ExactPixel(QRgb p) {
    auto exact = [](int v) { return ExactFromPreviewByte(static_cast<std::uint8_t>(v)); };
    return qRgba(exact(qRed(p)), exact(qGreen(p)), exact(qBlue(p)), exact(qAlpha(p)));
}

QRgb ShowPixel(QRgb pixel, ViewMode mode, int checker, Precision precision) {
    auto grey = [](int v) { return qRgb(v, v, v); };
    switch (mode) {
        case ViewMode::kRgb:
            return pixel | 0xFF000000u;  // the fourth byte plays no part
        case ViewMode::kRgba: {
            const int a = Widen(qAlpha(pixel), precision);
            auto blend = [&](int c) { return (c * a + checker * (255 - a) + 127) / 255; };
            return qRgb(blend(qRed(pixel)), blend(qGreen(pixel)), blend(qBlue(pixel)));
        }
        case ViewMode::kRed:
            return grey(Widen(qRed(pixel), precision));
        case ViewMode::kGreen:
            return grey(Widen(qGreen(pixel), precision));
        case ViewMode::kBlue:
            return grey(Widen(qBlue(pixel), precision));
        case ViewMode::kAlpha:
            return grey(Widen(qAlpha(pixel), precision));
        case ViewMode::kDifference: {
            // Each colour's difference, and a difference of alpha as grey
            // under them all.
            const int a = qAlpha(pixel);
            return qRgb(std::max(qRed(pixel), a), std::max(qGreen(pixel), a),
                        std::max(qBlue(pixel), a));
        }
    }
    return pixel;
}

}  // namespace marrowix
