// Pictures and timing the benchmarks share.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

namespace marrowix::bench {

// A plasma fractal (midpoint displacement) of one channel, side x side;
// each finer step's displacement is `roughness` times the coarser one's:
// 0.55 is smooth at the scale of texels, 0.8 keeps grain down to the texel
// as photographs of rough surfaces do.
inline std::vector<float> Plasma(std::uint32_t side, std::mt19937& random,
                                 float roughness = 0.55f) {
    const std::uint32_t n = side + 1;
    std::vector<float> h(std::size_t{n} * n, 0.5f);
    std::uniform_real_distribution<float> jitter(-1, 1);
    auto at = [&](std::uint32_t x, std::uint32_t y) -> float& { return h[std::size_t{y} * n + x]; };
    float amplitude = 0.5f;
    for (std::uint32_t step = side; step > 1; step /= 2, amplitude *= roughness) {
        const std::uint32_t half = step / 2;
        for (std::uint32_t y = half; y < n; y += step) {
            for (std::uint32_t x = half; x < n; x += step) {
                at(x, y) = (at(x - half, y - half) + at(x + half, y - half) +
                            at(x - half, y + half) + at(x + half, y + half)) /
                               4 +
                           amplitude * jitter(random);
            }
        }
        for (std::uint32_t y = 0; y < n; y += half) {
            for (std::uint32_t x = (y / half) % 2 == 0 ? half : 0; x < n; x += step) {
                float sum = 0;
                int count = 0;
                for (const auto& [dx, dy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
                    const long px = long(x) + dx * long(half);
                    const long py = long(y) + dy * long(half);
                    if (px >= 0 && py >= 0 && px < long(n) && py < long(n)) {
                        sum += at(std::uint32_t(px), std::uint32_t(py));
                        ++count;
                    }
                }
                at(x, y) = sum / float(count) + amplitude * jitter(random);
            }
        }
    }
    return h;
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

inline double Seconds(const std::function<void()>& run, int reps) {
    std::vector<double> times;
    for (int i = 0; i < reps; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return Median(times);
}

// Photographic content: a side x side picture whose red, green and blue are
// plasma fractals, with alpha rising from 0 at the left to 255 at the right;
// rows of red, green, blue, alpha.
inline std::vector<std::uint8_t> PlasmaImage(std::uint32_t side, unsigned seed,
                                             float roughness = 0.55f) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> rgba(std::size_t{side} * side * 4);
    const auto r = Plasma(side, random, roughness);
    const auto g = Plasma(side, random, roughness);
    const auto b = Plasma(side, random, roughness);
    for (std::uint32_t y = 0; y < side; ++y) {
        for (std::uint32_t x = 0; x < side; ++x) {
            const std::size_t i = std::size_t{y} * (side + 1) + x;
            std::uint8_t* p = &rgba[(std::size_t{y} * side + x) * 4];
            auto channel = [](float v) {
                return static_cast<std::uint8_t>(std::clamp(v, 0.0f, 1.0f) * 255);
            };
            p[0] = channel(r[i]);
            p[1] = channel(g[i]);
            p[2] = channel(b[i]);
            p[3] = static_cast<std::uint8_t>(x * 255 / (side - 1));  // the alpha ramp
        }
    }
    return rgba;
}

}  // namespace marrowix::bench
