// Levels for the display: a black point, a white point and a gamma, for red,
// green and blue together or for one channel. A value v becomes
//   255 x clamp((v - black) / (white - black), 0, 1) ^ (1 / gamma)
// rounded; the texture's values, the readout and saves are untouched.
#pragma once

#include <QRgb>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace marrowix {

struct Levels {
    int black = 0;
    int white = 255;
    double gamma = 1.0;
    // -1: red, green and blue; 0 to 3: red, green, blue or alpha alone.
    int channel = -1;

    bool IsIdentity() const { return black == 0 && white == 255 && gamma == 1.0; }
    bool operator==(const Levels&) const = default;

    // What each 8-bit value becomes.
    std::array<std::uint8_t, 256> Table() const {
        std::array<std::uint8_t, 256> t{};
        const double span = white > black ? white - black : 1;
        for (int v = 0; v < 256; ++v) {
            const double x = std::clamp((v - black) / span, 0.0, 1.0);
            t[static_cast<std::size_t>(v)] =
                static_cast<std::uint8_t>(std::lround(255 * std::pow(x, 1 / gamma)));
        }
        return t;
    }

    // A pixel (0xAARRGGBB, 8-bit values) with the levels applied to the
    // channels they are for, by `table` (Table()'s).
    QRgb Apply(QRgb p, const std::array<std::uint8_t, 256>& table) const {
        const int shifts[4] = {16, 8, 0, 24};
        for (int c = 0; c < 4; ++c) {
            if (channel == c || (channel < 0 && c < 3)) {
                const int s = shifts[c];
                p = (p & ~(0xFFu << s)) | (QRgb{table[(p >> s) & 255]} << s);
            }
        }
        return p;
    }
};

}  // namespace marrowix
