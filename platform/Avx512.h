// What the AVX-512 kernels share: the intrinsics, without the warnings
// GCC 12 gives about its own headers, and a 128-bit pattern repeated in
// every quarter of a 512-bit register. Include it only from files built for
// AVX-512, before anything else.
#pragma once

#if defined(__GNUC__) && !defined(__clang__)
// GCC 12's own AVX-512 intrinsics start from an undefined register, which
// its flow analysis takes for an uninitialised read.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <immintrin.h>

namespace marrowix::kernels {
namespace {

inline __m512i Four(__m128i x) {
    return _mm512_broadcast_i32x4(x);
}

}  // namespace
}  // namespace marrowix::kernels
