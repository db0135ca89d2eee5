#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "decode/Decode.h"
#include "decode/Image.h"

namespace marrowix {
namespace {

std::vector<std::uint8_t> Dib(std::int32_t width, std::int32_t height, std::size_t pixelBytes) {
    std::vector<std::uint8_t> dib(kDibHeaderSize + pixelBytes);
    WriteDibHeader(dib.data(), width, height);
    for (std::size_t i = kDibHeaderSize; i < dib.size(); ++i) {
        dib[i] = static_cast<std::uint8_t>(i - kDibHeaderSize);
    }
    return dib;
}

TEST(ViewDib, SeesWholeBottomUpImagesTopRowFirstAndNothingElse) {
    struct Row {
        const char* what;
        std::vector<std::uint8_t> dib;
        bool seen;
    } rows[] = {
        {"3 x 2", Dib(3, 2, 24), true},
        {"empty", Dib(0, 0, 0), true},
        {"a pixel short", Dib(3, 2, 20), false},
        {"a pixel over", Dib(3, 2, 28), false},
        {"top-down height", Dib(3, -2, 0), false},
        {"header only in part", std::vector<std::uint8_t>(10), false},
    };
    for (const Row& row : rows) {
        const std::optional<ImageView> view = ViewDib(row.dib);
        ASSERT_EQ(view.has_value(), row.seen) << row.what;
    }
    const std::vector<std::uint8_t> dib = Dib(3, 2, 24);
    const ImageView view = *ViewDib(dib);
    EXPECT_EQ(view.Row(0)[0], 12);  // the second row in memory is the top
    EXPECT_EQ(view.Row(1)[0], 0);
}

TEST(SamePixels, ComparesChannelsWhateverTheirOrder) {
    const std::vector<std::uint8_t> bgra = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::vector<std::uint8_t> rgba = {3, 2, 1, 4, 7, 6, 5, 8};
    std::vector<std::uint8_t> changed = rgba;
    changed[7] = 9;
    const auto B = [](const std::vector<std::uint8_t>& p, std::uint32_t w, std::uint32_t h) {
        return PackedImage(p.data(), w, h, PixelFormat::kBgra);
    };
    const auto R = [](const std::vector<std::uint8_t>& p, std::uint32_t w, std::uint32_t h) {
        return PackedImage(p.data(), w, h, PixelFormat::kRgba);
    };
    struct Row {
        ImageView a, b;
        bool same;
    } rows[] = {
        {B(bgra, 2, 1), R(rgba, 2, 1), true},     {B(bgra, 2, 1), B(bgra, 2, 1), true},
        {B(bgra, 2, 1), R(changed, 2, 1), false}, {B(bgra, 2, 1), R(rgba, 1, 2), false},
        {B(bgra, 2, 1), B(rgba, 2, 1), false},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(SamePixels(rows[i].a, rows[i].b), rows[i].same) << "row " << i;
    }
}

}  // namespace
}  // namespace marrowix
