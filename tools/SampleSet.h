// The sample texture set: a few categories of procedural textures, written
// in both encodings beside one listing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace marrowix {

struct SampleImage {
    std::string name;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t category = 0;
    std::vector<std::uint8_t> rgba;  // width x height x 4, top row first
};

std::vector<std::string> SampleCategories();
std::vector<SampleImage> SampleImages();

// Writes <dir>/<base>.txt, <base>.dxt.toc/.dat and <base>.etc.toc/.dat.
// Returns an empty string on success, otherwise the reason.
std::string WriteSampleSet(const std::filesystem::path& dir, const std::string& base = "world");

}  // namespace marrowix
