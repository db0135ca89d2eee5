// Joining raw deflate streams made independently (one per part of an image,
// on as many cores) into one stream: every part but the last must end at a
// byte boundary without its final-block mark, as a sync flush leaves it.
#pragma once

#include <cstdint>
#include <vector>

namespace marrowix {

// Turns the complete raw deflate stream `stream` into one that continues:
// the final block's BFINAL bit is cleared and an empty stored block is
// appended after its end-of-block code, so the stream ends on a byte
// boundary and another stream can follow it. False, with `stream` unchanged,
// when `stream` is not one whole deflate stream (a malformed block, or bytes
// left after the final block).
bool EndWithoutFinal(std::vector<std::uint8_t>& stream);

}  // namespace marrowix
