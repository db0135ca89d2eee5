// Putting textures back: images read, encoded and written as a new set
// that keeps every byte it does not replace.
#include <gtest/gtest.h>

#include <stdexcept>

#include <png.h>
#include <squish.h>

#include <cstring>
#include <random>

#include "decode/Decode.h"
#include "repack/Encoders.h"
#include "repack/ImageInput.h"
#include "tests/TestFiles.h"
#include "tests/inspect/RunInspect.h"
#include "tools/SampleSet.h"

namespace marrowix::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A PNG of `pixels` (samples of `channels` each, `depth` bits, big-endian
// at 16) in colour type `type`; a palette when given.
void WritePng(const fs::path& path, std::uint32_t width, std::uint32_t height, int type, int depth,
              const Bytes& pixels, const std::vector<png_color>& palette = {},
              const Bytes& trns = {}) {
    std::FILE* file = OpenFile(path, "wb");
    if (file == nullptr) {
        throw std::runtime_error("cannot write " + path.string());
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, depth, type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) {
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    }
    if (!trns.empty()) {
        png_set_tRNS(png, info, trns.data(), static_cast<int>(trns.size()), nullptr);
    }
    png_write_info(png, info);
    const std::size_t stride = pixels.size() / height;
    for (std::uint32_t y = 0; y < height; ++y) {
        png_write_row(png, pixels.data() + y * stride);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

Bytes Noise(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    Bytes b(n);
    for (auto& v : b) {
        v = static_cast<std::uint8_t>(random());
    }
    return b;
}

TEST(Repack, ImagesOfEveryKindReadAsRgba) {
    TempDir dir;
    struct Case {
        const char* name;
        int type;
        int depth;
        Bytes pixels;  // one row of two pixels
        Bytes expected;
        std::vector<png_color> palette = {};
        Bytes trns = {};
    };
    const std::vector<Case> cases = {
        {"rgba8", PNG_COLOR_TYPE_RGBA, 8, {1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"rgb8", PNG_COLOR_TYPE_RGB, 8, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 255, 4, 5, 6, 255}},
        {"grey8", PNG_COLOR_TYPE_GRAY, 8, {9, 200}, {9, 9, 9, 255, 200, 200, 200, 255}},
        // 16 bits narrowed by rounding: 0x80FF is 128.5 -> 129? 33023 x 255 / 65535 = 128.5.
        {"greyalpha16",
         PNG_COLOR_TYPE_GRAY_ALPHA,
         16,
         {0x80, 0x7F, 0xFF, 0xFF, 0, 0x80, 0, 0},
         {128, 128, 128, 255, 0, 0, 0, 0}},
        {"rgb16",
         PNG_COLOR_TYPE_RGB,
         16,
         {0xFF, 0xFF, 0, 0x81, 0x01, 0x01, 0, 0, 0, 0, 0, 0},
         {255, 1, 1, 255, 0, 0, 0, 255}},
        {"palette",
         PNG_COLOR_TYPE_PALETTE,
         8,
         {1, 0},
         {40, 50, 60, 77, 10, 20, 30, 255},
         {{10, 20, 30}, {40, 50, 60}},
         {255, 77}},
        {"grey1", PNG_COLOR_TYPE_GRAY, 1, {0x40}, {0, 0, 0, 255, 255, 255, 255, 255}},
    };
    for (const Case& c : cases) {
        const fs::path path = dir / (std::string(c.name) + ".png");
        WritePng(path, 2, 1, c.type, c.depth, c.pixels, c.palette, c.trns);
        const Result<InputImage> image = ReadInputImage(path.string());
        ASSERT_TRUE(image.ok()) << c.name << ": " << image.error;
        EXPECT_EQ(image.value.rgba, c.expected) << c.name;
    }
    // A DDS of DXT5 blocks keeps its blocks; one of RGBA pixels its pixels.
    auto dds = [&](const std::string& name, std::uint32_t w, std::uint32_t h, bool blocks,
                   const Bytes& data) {
        Bytes head(128, 0);
        auto put = [&](std::size_t at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i)
                head[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        };
        head[0] = 'D', head[1] = 'D', head[2] = 'S', head[3] = ' ';
        put(4, 124);
        put(12, h);
        put(16, w);
        put(76, 32);
        if (blocks) {
            put(80, 0x4);
            head[84] = 'D', head[85] = 'X', head[86] = 'T', head[87] = '5';
        } else {
            put(80, 0x41);
            put(88, 32);
            put(92, 0x000000FF), put(96, 0x0000FF00), put(100, 0x00FF0000), put(104, 0xFF000000);
        }
        head.resize(128 + data.size());
        for (std::size_t i = 0; i < data.size(); ++i) {
            head[128 + i] = data[i];
        }
        WriteBytes(dir / name, head);
        return (dir / name).string();
    };
    const Bytes blocks = Noise(2 * 2 * 16, 7);
    const auto fromBlocks = ReadInputImage(dds("b.dds", 6, 5, true, blocks));
    ASSERT_TRUE(fromBlocks.ok()) << fromBlocks.error;
    EXPECT_EQ(fromBlocks.value.dxtBlocks, blocks);
    const Bytes rgba = Noise(3 * 2 * 4, 8);
    const auto fromPixels = ReadInputImage(dds("p.dds", 3, 2, false, rgba));
    ASSERT_TRUE(fromPixels.ok()) << fromPixels.error;
    EXPECT_EQ(fromPixels.value.rgba, rgba);
    // Refused, naming the file.
    WriteText(dir / "x.png", "not an image");
    WritePng(dir / "cut.png", 64, 64, PNG_COLOR_TYPE_RGBA, 8, Noise(64 * 64 * 4, 1));
    const Bytes whole = ReadBytes(dir / "cut.png");
    WriteBytes(dir / "cut.png", Bytes(whole.begin(), whole.begin() + whole.size() / 2));
    for (const std::string& bad :
         {(dir / "x.png").string(), (dir / "cut.png").string(),
          dds("short.dds", 8, 8, true, Bytes(40, 0)), dds("empty.dds", 0, 4, false, {}),
          (dir / "missing.png").string()}) {
        const auto image = ReadInputImage(bad);
        EXPECT_FALSE(image.ok()) << bad;
        EXPECT_TRUE(Has(image.error, fs::path(bad).filename().string())) << image.error;
    }
}

// Our decoder at full precision gives what libsquish's own decoder gives
// for the blocks libsquish makes, to within one step of rounding.
TEST(Repack, OurDecoderAgreesWithTheEncoders) {
    const std::uint32_t w = 64;
    const std::uint32_t h = 64;
    const Bytes rgba = Noise(std::size_t{w} * h * 4, 3);
    for (DxtQuality q : {DxtQuality::kFast, DxtQuality::kNormal}) {
        const Bytes blocks = EncodeDxt5(rgba, w, h, q);
        Bytes theirs(rgba.size());
        squish::DecompressImage(theirs.data(), w, h, blocks.data(), squish::kDxt5);
        std::vector<std::uint32_t> ours(std::size_t{w} * h);
        DecodeBlockImage(w, h, blocks, std::span<std::uint32_t>(ours));
        int largest = 0;
        for (std::size_t i = 0; i < ours.size(); ++i) {
            const int shifts[4] = {16, 8, 0, 24};
            for (int c = 0; c < 4; ++c) {
                const int a = static_cast<int>((ours[i] >> shifts[c]) & 0xFF);
                largest = std::max(largest, std::abs(a - theirs[i * 4 + c]));
            }
        }
        EXPECT_LE(largest, 1) << DxtQualityName(q);
    }
    // "etc": the nearest level, and dither that keeps a flat value's mean.
    for (const auto& [value, level] : std::vector<std::pair<int, unsigned>>{
             {0, 0}, {8, 0}, {9, 1}, {25, 1}, {26, 2}, {246, 14}, {247, 15}, {255, 15}}) {
        EXPECT_EQ(NearestNibble(value), level) << value;
    }
    const Bytes flat(32 * 32 * 4, 8);
    const Bytes dithered = EncodeRgba4444(flat, 32, 32, true);
    double sum = 0;
    for (std::size_t i = 0; i < dithered.size(); i += 2) {
        sum += (dithered[i + 1] >> 4) * 17;  // red
    }
    EXPECT_NEAR(sum / (32 * 32), 8.0, 0.5);
    EXPECT_EQ(EncodeRgba4444(flat, 32, 32, false), Bytes(32 * 32 * 2, 0));
}

// Every entry's header and data, as the set at `listing` holds them.
std::vector<Bytes> EntryBytes(const fs::path& listing, const std::string& mode) {
    const auto set = OpenSet(listing, mode);
    const Bytes data =
        ReadBytes(set->DataPath().empty() ? fs::path() : fs::path(ToNativePath(set->DataPath())));
    std::vector<Bytes> entries;
    for (std::size_t i = 0; i < set->GetEntryCount(); ++i) {
        const StoredEntry& e = set->Entries()[i];
        const std::size_t n = 8 + EntryDataSize(e.width, e.height, set->GetMode());
        entries.emplace_back(data.begin() + e.offset, data.begin() + e.offset + n);
    }
    return entries;
}

std::vector<std::string> Lines(const fs::path& path) {
    const Bytes bytes = ReadBytes(path);
    std::vector<std::string> lines(1);
    for (const std::uint8_t b : bytes) {
        if (b == '\n') {
            lines.emplace_back();
        } else {
            lines.back().push_back(static_cast<char>(b));
        }
    }
    return lines;
}

TEST(Repack, ReplaceKeepsEveryByteItDoesNotReplace) {
    TempDir dir;
    ASSERT_EQ(WriteSampleSet(dir / "old"), "");
    const fs::path old = dir / "old" / "world.txt";
    const std::string check = Inspect(dir, {"--check", old.string()}).out;
    struct Case {
        std::size_t index;
        std::uint32_t width;
        std::uint32_t height;
    };
    for (const Case c : {Case{3, 128, 128}, Case{0, 100, 30}, Case{7, 2, 1}}) {
        const fs::path image = dir / "new.png";
        WritePng(image, c.width, c.height, PNG_COLOR_TYPE_RGBA, 8,
                 Noise(std::size_t{c.width} * c.height * 4, c.index));
        const fs::path made = dir / ("new" + std::to_string(c.index)) / "world.txt";
        const Outcome o = Inspect(dir, {"--replace", std::to_string(c.index), image.string(),
                                        "--output-set", made.string(), old.string()});
        ASSERT_EQ(o.code, 0) << o.err;
        EXPECT_TRUE(Has(o.out, "(dxt): PSNR")) << o.out;
        EXPECT_TRUE(Has(o.out, "(etc): PSNR")) << o.out;
        // The listing: only the replaced entry's line, and only its size.
        const auto before = Lines(old);
        const auto after = Lines(made);
        ASSERT_EQ(before.size(), after.size());
        const auto set = OpenSet(made, "dxt");
        EXPECT_EQ(set->GetEntry(c.index).width, static_cast<std::int32_t>(c.width));
        EXPECT_EQ(set->GetEntry(c.index).height, static_cast<std::int32_t>(c.height));
        for (std::size_t l = 0, changed = 0; l < before.size(); ++l) {
            changed += before[l] != after[l] ? 1 : 0;
            EXPECT_LE(changed, 1u) << l;
        }
        for (const std::string mode : {"dxt", "etc"}) {
            const auto was = EntryBytes(old, mode);
            const auto is = EntryBytes(made, mode);
            const auto oldSet = OpenSet(old, mode);
            const auto newSet = OpenSet(made, mode);
            for (std::size_t i = 0; i < was.size(); ++i) {
                if (i != c.index) {
                    // The same bytes where they were: no other data moved.
                    EXPECT_EQ(is[i], was[i]) << mode << " entry " << i;
                    EXPECT_EQ(newSet->GetEntry(i).offset, oldSet->GetEntry(i).offset);
                }
            }
        }
        const Outcome checked = Inspect(dir, {"--check", made.string()});
        EXPECT_EQ(checked.out, check);
    }
    // A DDS's DXT5 blocks go in as they are.
    {
        const Bytes blocks = Noise(32 * 32 * 16, 4);
        Bytes dds(128 + blocks.size(), 0);
        const std::uint32_t head[] = {0x20534444, 124, 0, 128, 128};
        std::memcpy(dds.data(), head, sizeof head);
        dds[80] = 0x4;
        std::memcpy(dds.data() + 84, "DXT5", 4);
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            dds[128 + i] = blocks[i];
        }
        WriteBytes(dir / "blocks.dds", dds);
        const fs::path made = dir / "dds" / "world.txt";
        const Outcome o =
            Inspect(dir, {"--mode", "dxt", "--replace", "3", (dir / "blocks.dds").string(),
                          "--output-set", made.string(), old.string()});
        ASSERT_EQ(o.code, 0) << o.err;
        EXPECT_TRUE(Has(o.out, "taken as they are")) << o.out;
        EXPECT_FALSE(fs::exists(dir / "dds" / "world.etc.dat"));
        const Bytes data = EntryBytes(made, "dxt")[3];
        EXPECT_TRUE(Bytes(data.begin() + 8, data.end()) == blocks);
    }
    // The set's own files are never the new set; a failure leaves nothing.
    for (const std::string& target : {old.string(), (dir / "old" / "world.dxt.dat").string()}) {
        const Outcome refused = Inspect(dir, {"--replace", "0", (dir / "new.png").string(),
                                              "--output-set", target, old.string()});
        EXPECT_EQ(refused.code, 1);
        EXPECT_TRUE(Has(refused.err, "never written")) << refused.err;
    }
    const Outcome gate =
        Inspect(dir, {"--replace", "0", (dir / "new.png").string(), "--output-set",
                      (dir / "gated" / "w.txt").string(), "--fail-below", "90", old.string()});
    EXPECT_EQ(gate.code, 1);
    EXPECT_TRUE(Has(gate.err, "below 90.00 dB")) << gate.err;
    EXPECT_FALSE(fs::exists(dir / "gated"));  // the folder made for it goes too
}

TEST(Repack, ReplaceFromTakesOnlyChangedImagesAtEitherDepth) {
    for (const std::string depth : {"4", "8"}) {
        TempDir dir;
        ASSERT_EQ(WriteSampleSet(dir / "old"), "");
        const fs::path old = dir / "old" / "world.txt";
        ASSERT_EQ(
            Inspect(dir, {"--export-all", (dir / "ex").string(), "--depth", depth, old.string()})
                .code,
            0);
        WritePng(dir / "ex" / "patterns" / "rings.png", 8, 8, PNG_COLOR_TYPE_RGBA, 8,
                 Noise(8 * 8 * 4, 5));
        // Images not there are said, a line each, and change nothing else.
        fs::remove(dir / "ex" / "odd_sizes" / "dot.png");
        fs::remove(dir / "ex" / "odd_sizes" / "tiny.png");
        const bool link = LinksWork();  // a dangling link where it can be made
        if (link) {
            fs::create_symlink("nowhere.png", dir / "ex" / "odd_sizes" / "tiny.png");
        }
#ifndef _WIN32  // where case matters in names
        fs::rename(dir / "ex" / "gradients" / "sunset.png",
                   dir / "ex" / "gradients" / "Sunset.png");
#endif
        const Outcome o = Inspect(dir, {"--replace-from", (dir / "ex").string(), "--output-set",
                                        (dir / "new" / "world.txt").string(), old.string()});
        ASSERT_EQ(o.code, 0) << o.err;
        EXPECT_TRUE(Has(o.out, "replaced entry 3 \"rings\" (dxt)")) << o.out;
        EXPECT_TRUE(Has(o.out, "unchanged entry 0 \"sky\"")) << o.out;
        for (const char* line : {"not read entry 9 \"dot\": no '", "tiny.png' is a symbolic link",
                                 "Sunset.png' differs from 'sunset.png' only in case"}) {
#ifdef _WIN32
            const bool caseless = Has(line, "only in case");
#else
            const bool caseless = false;
#endif
            EXPECT_TRUE(Has(o.out, line) || (!link && Has(line, "symbolic")) || caseless)
                << line << "\n"
                << o.out;
        }
        std::size_t replaced = 0;
        for (std::size_t at = 0; (at = o.out.find("replaced", at)) != std::string::npos; ++at) {
            ++replaced;
        }
        EXPECT_EQ(replaced, 2u) << depth << "\n" << o.out;
    }
}

TEST(Repack, PackMakesASetOfAFolderAndRefusesWhatTheFormatCannotHold) {
    TempDir dir;
    const Bytes pixels = Noise(5 * 3 * 4, 9);
    fs::create_directories(dir / "in" / "walls");
    fs::create_directories(dir / "in" / "floors");
    WritePng(dir / "in" / "walls" / "brick.png", 5, 3, PNG_COLOR_TYPE_RGBA, 8, pixels);
    WritePng(dir / "in" / "floors" / "tile.png", 5, 3, PNG_COLOR_TYPE_RGBA, 8, pixels);
    WritePng(dir / "in" / "loose.png", 5, 3, PNG_COLOR_TYPE_RGBA, 8, pixels);
    const fs::path made = dir / "out" / "p.txt";
    const Outcome o =
        Inspect(dir, {"--pack", (dir / "in").string(), "--output-set", made.string()});
    ASSERT_EQ(o.code, 0) << o.err;
    const Bytes listing = ReadBytes(made);
    EXPECT_EQ(std::string(listing.begin(), listing.end()),
              "cat=0 name=floors\ncat=1 name=walls\n\"tile\" cat=0 width=5 height=3\n"
              "\"brick\" cat=1 width=5 height=3\n\"loose\" cat=65535 width=5 height=3\n");
    // Its root texture's category number is the root's: every encoding checks clean.
    for (const char* mode : {"dxt", "etc"}) {
        const Outcome check = Inspect(dir, {"--check", "--mode", mode, made.string()});
        EXPECT_EQ(check.code, 0) << check.out;
    }

    struct Refusal {
        std::string file;  // made inside the folder
        std::string says;
    };
    const std::vector<Refusal> refusals = {
        {"a\"b.png", "double quote"},
        {std::string(64, 'n') + ".png", "a name of 64 bytes"},
        {"bad cat/x.png", "white space in a category name"},
        {"broken.png", "not a PNG that can be read"},
    };
    for (const Refusal& r : refusals) {
#ifdef _WIN32
        if (r.file.find('"') != std::string::npos) {
            continue;  // no file of Windows has such a name
        }
#endif
        TempDir in;
        fs::create_directories((in / r.file).parent_path());
        if (r.file == "broken.png") {
            WriteText(in / r.file, "\x89PNG\r\n\x1A\nbroken");
        } else {
            WritePng(in / r.file, 5, 3, PNG_COLOR_TYPE_RGBA, 8, pixels);
        }
        const Outcome refused = Inspect(
            dir, {"--pack", in.Path().string(), "--output-set", (in / "o" / "p.txt").string()});
        EXPECT_EQ(refused.code, 1) << r.file;
        EXPECT_TRUE(Has(refused.err, r.says)) << refused.err;
        EXPECT_TRUE(!fs::exists(in / "o") || fs::is_empty(in / "o")) << r.file;
    }
    TempDir many;
    for (int c = 0; c < 65; ++c) {
        fs::create_directories(many / ("c" + std::to_string(c)));
    }
    EXPECT_TRUE(Has(
        Inspect(dir, {"--pack", many.Path().string(), "--output-set", (many / "p.txt").string()})
            .err,
        "at most 64 categories"));
}

}  // namespace
}  // namespace marrowix::test
