// The cluster fit's search on eight splits at a time in AVX2 registers.
#include <cstdint>
#include <cstring>
#include <tuple>

#include "repack/ClusterFit.h"

namespace marrowix::kernels {
namespace avx2 {

using V = float __attribute__((vector_size(32)));
using I = int __attribute__((vector_size(32)));
constexpr int kLanes = 8;
inline I ToInt(V v) {
    return __builtin_convertvector(v, I);
}
inline V ToFloat(I v) {
    return __builtin_convertvector(v, V);
}
inline int ToInt(float v) {
    return static_cast<int>(v);
}
inline float ToFloat(int v) {
    return static_cast<float>(v);
}
inline V Lane(const float* at) {
    V v;
    std::memcpy(&v, at, sizeof v);
    return v;
}
inline void Store(float* at, V v) {
    std::memcpy(at, &v, sizeof v);
}
inline I Lanes() {
    return I{0, 1, 2, 3, 4, 5, 6, 7};
}
inline float LaneOf(V v, int k) {
    return v[k];
}
inline int LaneOf(I v, int k) {
    return v[k];
}

#include "repack/ClusterSearch.inc"

}  // namespace avx2

void SearchSplitsAvx2(const ClusterSums& sums, ClusterBest& best) {
    avx2::SearchSplits(sums, best);
}

}  // namespace marrowix::kernels
