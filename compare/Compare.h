// Comparing textures at 8 bits a channel: the two encodings of one set, or
// two versions of a set. Values are those of the full-precision image ("etc"
// each nibble n as n x 17, "dxt" its blocks' own 8-bit values). For each
// channel over all texels of a texture:
//   MSE = sum of (a - b)^2 / texels
//   PSNR = 10 log10(255^2 / MSE), infinite where MSE is 0
//   RGB PSNR from the mean of the red, green and blue MSE; alpha on its own;
//   the same of premultiplied colour, and SSIM of luma (compare/Structural.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "decode/Image.h"
#include "textureset/TextureSet.h"

namespace marrowix {

// Channels in the order the measures hold them.
enum Channel { kRed = 0, kGreen = 1, kBlue = 2, kAlpha = 3 };

struct Measures {
    std::array<double, 4> mse{};            // red, green, blue, alpha
    std::array<std::uint8_t, 4> maxDiff{};  // the largest absolute difference
    std::uint64_t differing = 0;            // texels with any channel different
    std::uint64_t texels = 0;
    // Of premultiplied red, green and blue (compare/Structural.h), and
    // whether a texel of either texture is not opaque.
    std::array<double, 3> premultipliedMse{};
    bool hasAlpha = false;
    double ssim = 1;  // of luma (compare/Structural.h)

    double Psnr(Channel c) const;
    double RgbPsnr() const;
    double RgbPremultipliedPsnr() const;
};

// PSNR in dB of an MSE of 8-bit values; +infinity for 0.
double PsnrOf(double mse);

// "38.21", or "inf".
std::string FormatDecibels(double db);
// "PSNR R 38.21 G 40.02 B inf A inf RGB 39.10 dB; SSIM 0.9876; largest
// difference R 12 G 8 B 0 A 0; 1,234 of 65,536 texels differ": the measures
// as both programs tell them; for textures with alpha "RGB 39.10 dB,
// premultiplied 41.02 dB".
std::string DescribeMeasures(const Measures& m);

// Sums of two images' differences, texel by texel (0xAARRGGBB each).
class MeasureSums {
public:
    void Add(const std::uint32_t* a, const std::uint32_t* b, std::size_t n);
    // The first image as RGBA4444 texels, each widened n x 17.
    void Add(const std::uint16_t* a, const std::uint32_t* b, std::size_t n);
    Measures Result() const;

private:
    template <class First, class Kernel>
    void AddWith(const First* a, const std::uint32_t* b, std::size_t n, Kernel kernel);

    std::array<std::uint64_t, 4> m_squares{};
    std::array<std::uint8_t, 4> m_max{};
    std::uint64_t m_differing = 0;
    std::uint64_t m_texels = 0;
};

// Every measure of two images of the same size in memory, their pixels
// PixelFormat::kBgra (0xAARRGGBB in the machine's byte order).
Measures MeasureImages(const ImageView& a, const ImageView& b);

// One compared pair of entries: measured, or why not (`skipped` not empty).
struct EntryComparison {
    std::size_t index = 0;       // in the first set
    std::size_t otherIndex = 0;  // in the second
    Measures measures;
    std::string skipped;
    // Skipped because the measuring itself failed (not enough memory, a
    // read that failed), not because of what the entries hold: such a pair
    // can never count as equal.
    bool failed = false;
};

// Why entry `index`'s image cannot be read in full ("size refused: ...",
// "no texels", "data past the end of FILE", "no data file FILE"), or "".
std::string UnreadableReason(const CTextureSet& set, std::size_t index);

// Entry `index` of `a` against entry `otherIndex` of `b`, which must have
// the same size: both read tile by tile at full precision, in memory bounded
// whatever the shape. Skipped, with the reason, where either image cannot be
// read in full (a refused size, no texels, data past the end of a data file
// or no data file, not enough memory, a read that failed).
EntryComparison CompareEntries(const CTextureSet& a, std::size_t index, const CTextureSet& b,
                               std::size_t otherIndex);

// The pairs given, each compared, on every core; in the order given.
std::vector<EntryComparison> ComparePairs(
    const CTextureSet& a, const CTextureSet& b,
    const std::vector<std::pair<std::size_t, std::size_t>>& pairs);

// Entries of two sets paired by category name and texture name: the k-th
// entry of a name in a category with the k-th of the same name in the
// same-named category of the other set (textures at the root, whose category
// has no line, only with textures at the root).
struct Pairing {
    std::vector<std::pair<std::size_t, std::size_t>> pairs;  // in the first set's order
    std::vector<std::size_t> onlyInFirst;
    std::vector<std::size_t> onlyInSecond;
};
Pairing PairEntries(const CTextureSet& first, const CTextureSet& second);

// The category name an entry is paired by: its category's name, or "" with
// `atRoot` true for a texture whose category has no line.
std::string CategoryNameOf(const CTextureSet& set, std::size_t index, bool* atRoot);

}  // namespace marrowix
