// What a benchmark ran on: the processor's vector features and the decode
// path taken, printed before its figures.
#pragma once

#include <cstdio>
#include <string>
#include <thread>

#include "decode/Decode.h"

namespace marrowix::bench {

inline std::string VectorFeatures() {
    std::string features;
#if defined(__x86_64__) || defined(_M_X64)
    const char* names[] = {"sse4.1", "avx2", "avx512f", "avx512bw", "avx512vbmi", "avx512vnni"};
    const bool has[] = {
        __builtin_cpu_supports("sse4.1") != 0,     __builtin_cpu_supports("avx2") != 0,
        __builtin_cpu_supports("avx512f") != 0,    __builtin_cpu_supports("avx512bw") != 0,
        __builtin_cpu_supports("avx512vbmi") != 0, __builtin_cpu_supports("avx512vnni") != 0};
    for (std::size_t i = 0; i < std::size(names); ++i) {
        if (has[i]) {
            features.append(features.empty() ? "" : " ").append(names[i]);
        }
    }
#endif
    return features.empty() ? "none" : features;
}

inline void PrintMachine() {
    std::printf("%u cores; vector features: %s; decode path %s\n",
                std::thread::hardware_concurrency(), VectorFeatures().c_str(),
                DescribeDecodePath().c_str());
}

}  // namespace marrowix::bench
