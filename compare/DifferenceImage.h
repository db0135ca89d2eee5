// The image of two images' differences that the viewer's difference view
// shows, byte for byte over their blue, green, red, alpha pixels.
#pragma once

#include <cstddef>
#include <cstdint>

namespace marrowix {

// With `threshold` 0: each byte's absolute difference times `scale`, at
// most 255. Above 0: red (0, 0, 255, 0) where a pixel's largest channel
// difference exceeds the threshold, else `a`'s colour at a third of its
// brightness with alpha 0. `bytes` is a multiple of 4. Returns how many
// pixels exceed the threshold (0 without one).
std::uint64_t DifferenceImage(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* out,
                              std::size_t bytes, int scale, int threshold);

// The same, a byte or a pixel at a time: the reference the vector code
// above is tested against.
std::uint64_t DifferenceImageScalar(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* out,
                                    std::size_t bytes, int scale, int threshold);

}  // namespace marrowix
