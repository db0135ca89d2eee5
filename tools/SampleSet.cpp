#include "tools/SampleSet.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>

#include "tools/DxtEncoder.h"

namespace marrowix {
namespace {

using Shader = std::function<std::array<double, 4>(double u, double v)>;

SampleImage Make(std::string name, std::uint32_t category, std::uint32_t w, std::uint32_t h,
                 const Shader& shade) {
    SampleImage image{std::move(name), w, h, category, {}};
    image.rgba.resize(std::size_t{w} * h * 4);
    for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = 0; x < w; ++x) {
            const double u = w > 1 ? double(x) / (w - 1) : 0.5;
            const double v = h > 1 ? double(y) / (h - 1) : 0.5;
            const auto c = shade(u, v);
            for (std::size_t ch = 0; ch < 4; ++ch) {
                const double value = std::clamp(c[ch], 0.0, 1.0) * 255.0 + 0.5;
                image.rgba[(std::size_t{y} * w + x) * 4 + ch] = static_cast<std::uint8_t>(value);
            }
        }
    }
    return image;
}

std::array<double, 4> Mix(const std::array<double, 4>& a, const std::array<double, 4>& b,
                          double t) {
    return {a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t,
            a[3] + (b[3] - a[3]) * t};
}

void PutLe(std::string& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>(v >> (8 * i));
    }
}

std::string WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        return "cannot write " + path.string();
    }
    return {};
}

}  // namespace

std::vector<std::string> SampleCategories() {
    return {"gradients", "patterns", "alpha", "odd_sizes"};
}

std::vector<SampleImage> SampleImages() {
    const double pi = 3.14159265358979;
    std::vector<SampleImage> images;
    images.push_back(Make("sky", 0, 64, 64, [&](double, double v) {
        return Mix({0.15, 0.35, 0.85, 1}, {0.85, 0.93, 1.0, 1}, v);
    }));
    images.push_back(Make("sunset", 0, 128, 64, [&](double u, double v) {
        return Mix(Mix({1.0, 0.55, 0.1, 1}, {0.55, 0.1, 0.55, 1}, u), {0.1, 0.05, 0.2, 1}, v * v);
    }));
    images.push_back(Make("checker", 1, 64, 64, [&](double u, double v) {
        const bool odd = (int(u * 7.999) + int(v * 7.999)) % 2 != 0;
        return odd ? std::array<double, 4>{0.95, 0.95, 0.9, 1}
                   : std::array<double, 4>{0.2, 0.25, 0.3, 1};
    }));
    images.push_back(Make("rings", 1, 128, 128, [&](double u, double v) {
        const double r = std::hypot(u - 0.5, v - 0.5);
        const double t = 0.5 + 0.5 * std::cos(r * 2 * pi * 8);
        return Mix({0.1, 0.2, 0.6, 1}, {1.0, 0.85, 0.3, 1}, t);
    }));
    images.push_back(Make("stripes", 1, 32, 16, [&](double u, double v) {
        const bool on = int((u * 32 + v * 16) / 4) % 2 == 0;
        return on ? std::array<double, 4>{0.9, 0.2, 0.2, 1}
                  : std::array<double, 4>{0.95, 0.95, 0.95, 1};
    }));
    images.push_back(Make("alpha_ramp", 2, 64, 32, [&](double u, double v) {
        return std::array<double, 4>{0.2 + 0.6 * v, 0.8, 0.3, u};
    }));
    images.push_back(Make("glow", 2, 64, 64, [&](double u, double v) {
        const double r = std::hypot(u - 0.5, v - 0.5) * 2;
        return std::array<double, 4>{1.0, 0.9, 0.4, 1 - r};
    }));
    images.push_back(Make("tiny", 3, 5, 3, [&](double u, double v) {
        return Mix({1, 0.2, 0.1, 1}, {0.1, 0.3, 1, 1}, (u + v) / 2);
    }));
    images.push_back(Make("thin", 3, 1, 8, [&](double, double v) {
        return Mix({1, 1, 1, 1}, {0, 0.4, 0, 1}, v);
    }));
    images.push_back(Make("dot", 3, 1, 1, [&](double, double) {
        return std::array<double, 4>{1, 0, 1, 1};
    }));
    images.push_back(Make("wide", 3, 37, 9, [&](double u, double v) {
        return std::array<double, 4>{u, 0.5 + 0.5 * std::sin(u * 12), v, 1};
    }));
    images.push_back(Make("loose_note", 9, 16, 16, [&](double u, double v) {
        return std::array<double, 4>{0.9, 0.9 - 0.4 * v, 0.3 + 0.5 * u, 1};
    }));
    return images;
}

std::string WriteSampleSet(const std::filesystem::path& dir, const std::string& base) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        return "cannot create " + dir.string() + ": " + ec.message();
    }
    const std::vector<std::string> categories = SampleCategories();
    const std::vector<SampleImage> images = SampleImages();

    // The listing: a comment, the categories, a blank line, the textures.
    std::vector<std::string> lines;
    lines.push_back("# Marrowix sample set: procedural textures in both encodings");
    for (std::size_t c = 0; c < categories.size(); ++c) {
        lines.push_back("cat=" + std::to_string(c) + " name=" + categories[c]);
    }
    lines.push_back("");
    const std::size_t firstTextureLine = lines.size();
    for (const SampleImage& image : images) {
        lines.push_back("\"" + image.name + "\" cat=" + std::to_string(image.category) + " width=" +
                        std::to_string(image.width) + " height=" + std::to_string(image.height));
    }
    std::string listing;
    for (const std::string& line : lines) {
        listing += line + "\r\n";
    }
    if (std::string error = WriteFile(dir / (base + ".txt"), listing); !error.empty()) {
        return error;
    }

    for (const std::string mode : {"dxt", "etc"}) {
        std::string table(lines.size() * 4, '\0');
        std::string data;
        for (std::size_t i = 0; i < images.size(); ++i) {
            const SampleImage& image = images[i];
            const auto offset = static_cast<std::uint32_t>(data.size());
            for (int b = 0; b < 4; ++b) {
                table[(firstTextureLine + i) * 4 + b] = static_cast<char>(offset >> (8 * b));
            }
            // An 8-byte header the reader passes over.
            data += mode == std::string("dxt") ? "DXT5" : "4444";
            PutLe(data, image.width, 2);
            PutLe(data, image.height, 2);
            if (mode == std::string("dxt")) {
                const auto blocks = EncodeDxt5Image(image.width, image.height, image.rgba);
                data.append(blocks.begin(), blocks.end());
            } else {
                for (std::size_t t = 0; t < image.rgba.size(); t += 4) {
                    const std::uint8_t* p = &image.rgba[t];
                    PutLe(
                        data,
                        ((p[0] >> 4) << 12) | ((p[1] >> 4) << 8) | ((p[2] >> 4) << 4) | (p[3] >> 4),
                        2);
                }
            }
        }
        if (std::string error = WriteFile(dir / (base + "." + mode + ".toc"), table);
            !error.empty()) {
            return error;
        }
        if (std::string error = WriteFile(dir / (base + "." + mode + ".dat"), data);
            !error.empty()) {
            return error;
        }
    }
    return {};
}

}  // namespace marrowix
