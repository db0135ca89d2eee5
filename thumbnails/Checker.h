// The checkerboard shown under transparent texels, by the viewer and on
// contact sheets alike.
#pragma once

namespace marrowix {

// Squares of kCheckerSquare pixels, light (0xC0) where squareX + squareY is
// even, dark (0x80) where odd.
constexpr int kCheckerSquare = 8;
constexpr int CheckerGrey(int squareX, int squareY) {
    return (squareX + squareY) % 2 == 0 ? 0xC0 : 0x80;
}

}  // namespace marrowix
