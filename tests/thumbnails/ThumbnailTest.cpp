// Thumbnails against a box filter of the whole decoded image, what they
// read, and the cache and workers that hold and make them.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include <png.h>

#include "tests/TestFiles.h"
#include "tests/inspect/RunInspect.h"
#include "textureset/PreviewImage.h"
#include "textureset/SetCheck.h"
#include "thumbnails/ContactSheet.h"
#include "thumbnails/LruCache.h"
#include "thumbnails/Thumbnail.h"
#include "thumbnails/ThumbnailWorkers.h"
#include "tools/DxtEncoder.h"

namespace marrowix {
namespace {

using test::TempDir;

// A smooth RGBA image with some detail: gradients, a ripple, an alpha ramp.
std::vector<std::uint8_t> SmoothImage(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> rgba(std::size_t{w} * h * 4);
    for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = 0; x < w; ++x) {
            std::uint8_t* p = &rgba[(std::size_t{y} * w + x) * 4];
            p[0] = static_cast<std::uint8_t>(x * 255 / w);
            p[1] = static_cast<std::uint8_t>(y * 255 / h);
            p[2] = static_cast<std::uint8_t>(128 + 100 * std::sin(double(x + y) / 37) +
                                             static_cast<int>(random() % 9) - 4);
            p[3] = static_cast<std::uint8_t>(255 - (x + y) * 255 / (w + h));
        }
    }
    return rgba;
}

// A set of the given textures, "dxt" blocks or "etc" texels of the images.
struct Texture {
    std::uint32_t width;
    std::uint32_t height;
};
std::unique_ptr<CTextureSet> MakeSet(const TempDir& dir, const std::string& mode,
                                     const std::vector<Texture>& textures,
                                     std::size_t cutDataTo = SIZE_MAX) {
    test::SetFiles files;
    files.mode = mode;
    std::vector<std::uint32_t> offsets;
    for (std::size_t i = 0; i < textures.size(); ++i) {
        const auto [w, h] = textures[i];
        files.listing += "\"t" + std::to_string(i) + "\" width=" + std::to_string(w) +
                         " height=" + std::to_string(h) + "\n";
        offsets.push_back(static_cast<std::uint32_t>(files.data.size()));
        files.data.insert(files.data.end(), 8, 0);
        const auto rgba = SmoothImage(w, h, static_cast<std::uint32_t>(i));
        if (mode == "dxt") {
            const auto blocks = EncodeDxt5Image(w, h, rgba);
            files.data.insert(files.data.end(), blocks.begin(), blocks.end());
        } else {
            for (std::size_t t = 0; t < std::size_t{w} * h; ++t) {
                const std::uint8_t* p = &rgba[t * 4];
                files.data.push_back(static_cast<std::uint8_t>((p[2] & 0xF0) | p[3] >> 4));
                files.data.push_back(static_cast<std::uint8_t>((p[0] & 0xF0) | p[1] >> 4));
            }
        }
    }
    for (std::uint32_t o : offsets) {
        const auto le = test::Le32({o});
        files.table.insert(files.table.end(), le.begin(), le.end());
    }
    files.data.resize(std::min(files.data.size(), cutDataTo));
    return test::OpenSet(test::WriteSet(dir, files), mode);
}

// The box filter of the entry's whole image at `precision`, the thumbnail's
// rule for which texels a pixel covers, every texel counted.
std::vector<std::uint32_t> BoxFiltered(const CTextureSet& set, std::size_t index,
                                       ThumbnailSize size, Precision precision) {
    const TextureEntry e = set.GetEntry(index);
    const auto w = static_cast<std::uint32_t>(e.width);
    const auto h = static_cast<std::uint32_t>(e.height);
    const auto dib = precision == Precision::kFull ? BuildImageDib(set, index, precision).value
                                                   : BuildPreviewDib(set, index).value;
    std::vector<std::array<std::uint64_t, 5>> sums(std::size_t{size.width} * size.height);
    for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = 0; x < w; ++x) {
            const std::uint8_t* p = &dib[kDibHeaderSize + (std::size_t{h - 1 - y} * w + x) * 4];
            auto& s = sums[std::size_t{y * size.height / h} * size.width + x * size.width / w];
            for (int c = 0; c < 4; ++c) {
                s[c] += p[c];
            }
            ++s[4];
        }
    }
    std::vector<std::uint32_t> pixels;
    for (const auto& s : sums) {
        std::uint32_t v = 0;
        for (int c = 0; c < 4; ++c) {
            v |= static_cast<std::uint32_t>((s[c] + s[4] / 2) / s[4]) << (8 * c);
        }
        pixels.push_back(v);
    }
    return pixels;
}

int LargestDifference(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    int largest = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        for (int c = 0; c < 32; c += 8) {
            largest = std::max(largest, std::abs(int(a[i] >> c & 0xFF) - int(b[i] >> c & 0xFF)));
        }
    }
    return largest;
}

TEST(Thumbnail, FitsTheSideKeepingAspectAndNeverGrows) {
    EXPECT_EQ(FitThumbnail(4096, 4096, 128).width, 128u);
    EXPECT_EQ(FitThumbnail(4096, 1024, 128).height, 32u);
    EXPECT_EQ(FitThumbnail(268435455, 1, 128).width, 128u);
    EXPECT_EQ(FitThumbnail(268435455, 1, 128).height, 1u);
    EXPECT_EQ(FitThumbnail(1, 5000, 64).width, 1u);
    EXPECT_EQ(FitThumbnail(4, 2, 128).width, 4u);
    EXPECT_EQ(FitThumbnail(4, 2, 128).height, 2u);
    EXPECT_EQ(FitThumbnail(0, 7, 128).width, 0u);
}

// Up to kSampledRows texel rows a thumbnail row, every texel is read: the
// thumbnail is the box filter exactly, in both encodings and precisions,
// also for sizes that are no multiple of 4 or of the thumbnail.
TEST(Thumbnail, IsTheBoxFilterExactlyWhenRowsAreFew) {
    for (const std::string mode : {"dxt", "etc"}) {
        TempDir dir;
        const auto set = MakeSet(dir, mode, {{256, 192}, {203, 97}, {3, 300}});
        for (std::size_t i = 0; i < 3; ++i) {
            for (Precision precision : {Precision::kNibbles, Precision::kFull}) {
                const auto thumb = MakeThumbnail(*set, i, 64, precision);
                ASSERT_TRUE(thumb.ok()) << thumb.error;
                const ThumbnailSize size{thumb.value.width, thumb.value.height};
                EXPECT_EQ(thumb.value.pixels, BoxFiltered(*set, i, size, precision))
                    << mode << " entry " << i;
                // Every texel read once: a row of blocks that two thumbnail
                // rows share is not read again.
                const TextureEntry e = set->GetEntry(i);
                EXPECT_EQ(thumb.value.bytesRead, EntryDataSize(e, set->GetMode()))
                    << mode << " entry " << i;
            }
        }
    }
}

// Larger textures are sampled: within 6 of the box filter on smooth content
// (the stated tolerance), reading a quarter of a "dxt" texture's data.
TEST(Thumbnail, SamplesLargeTexturesCloseToTheBoxFilterReadingAFraction) {
    for (const std::string mode : {"dxt", "etc"}) {
        TempDir dir;
        const auto set = MakeSet(dir, mode, {{1024, 1024}});
        const auto thumb = MakeThumbnail(*set, 0, 32, Precision::kFull);
        ASSERT_TRUE(thumb.ok());
        EXPECT_EQ(thumb.value.width, 32u);
        EXPECT_LE(
            LargestDifference(thumb.value.pixels, BoxFiltered(*set, 0, {32, 32}, Precision::kFull)),
            6)
            << mode;
        const std::uint64_t data = EntryDataSize(1024, 1024, set->GetMode());
        // 32 rows of the thumbnail, each 8 texel rows of the 32 it covers.
        EXPECT_EQ(thumb.value.bytesRead, data / 4) << mode;
    }
}

TEST(Thumbnail, DataThatEndsEarlyReadsAsZeroAndIsNotCounted) {
    TempDir dir;
    // Half the blocks of a 64 x 64 "dxt" texture, after its 8-byte header.
    const auto set = MakeSet(dir, "dxt", {{64, 64}}, 8 + 2048);
    const auto thumb = MakeThumbnail(*set, 0, 16, Precision::kFull);
    ASSERT_TRUE(thumb.ok());
    EXPECT_EQ(thumb.value.bytesRead, 2048u);
    for (std::uint32_t y = 8; y < 16; ++y) {
        for (std::uint32_t x = 0; x < 16; ++x) {
            // A block of zeros: colours 0, alpha end points 0 and 0 (six
            // levels, index 0: alpha 0).
            EXPECT_EQ(thumb.value.pixels[y * 16 + x], 0u) << x << ", " << y;
        }
    }
    EXPECT_NE(thumb.value.pixels[0], 0u);
    EXPECT_EQ(EntryDataProblem(*set, set->Entries()[0]), "data-past-end");
}

TEST(Thumbnail, RefusesWhatHasNoImage) {
    TempDir dir;
    test::SetFiles files;
    files.listing = "\"empty\" width=0 height=4\n\"huge\" width=70000 height=70000\n";
    files.table = test::Le32({0, 0});
    files.data.assign(64, 0);
    const auto set = test::OpenSet(test::WriteSet(dir, files));
    EXPECT_EQ(MakeThumbnail(*set, 0, 64, Precision::kFull).error, "size 0 x 4 has no texels");
    EXPECT_FALSE(MakeThumbnail(*set, 1, 64, Precision::kFull).ok());
    EXPECT_EQ(MakeThumbnail(*set, 2, 64, Precision::kFull).error, "no entry 2 (the set has 2)");
    EXPECT_EQ(EntryDataProblem(*set, set->Entries()[0]), "size-empty");
    EXPECT_EQ(EntryDataProblem(*set, set->Entries()[1]), "size-refused");
}

TEST(LruCache, KeepsWithinItsBudgetDroppingTheLeastRecentlyShown) {
    using Cache = LruCache<int, std::vector<std::uint8_t>>;
    Cache cache(10 * (1000 + Cache::kEntryBytes),
                [](const std::vector<std::uint8_t>& v) { return v.size(); });
    for (int i = 0; i < 10; ++i) {
        cache.Insert(i, std::vector<std::uint8_t>(1000));
    }
    EXPECT_EQ(cache.Count(), 10u);
    ASSERT_NE(cache.Find(0), nullptr);  // 0 is now the most recently shown
    cache.Insert(10, std::vector<std::uint8_t>(1000));
    EXPECT_EQ(cache.Find(1), nullptr);  // the least recently shown went
    EXPECT_NE(cache.Find(0), nullptr);
    for (int i = 11; i < 1000; ++i) {
        cache.Insert(i, std::vector<std::uint8_t>(1000 + std::size_t(i % 7) * 300));
        ASSERT_LE(cache.Bytes(), cache.Budget());
    }
    cache.Insert(-1, std::vector<std::uint8_t>(cache.Budget()));  // larger than the budget
    EXPECT_EQ(cache.Find(-1), nullptr);
    EXPECT_EQ(cache.Bytes(), 0u);
}

TEST(ThumbnailWorkers, MakeWhatIsWantedAndDropWhatNoLongerIs) {
    TempDir dir;
    std::vector<Texture> textures(64, Texture{64, 64});
    const auto set = MakeSet(dir, "dxt", textures);
    std::mutex mutex;
    std::vector<std::size_t> made;
    std::atomic<bool> afterCancel{false};
    std::atomic<int> lateCalls{0};
    ThumbnailWorkers workers(
        [&](const ThumbnailJob& job, Result<Thumbnail> result) {
            if (afterCancel) {
                ++lateCalls;
            }
            const std::lock_guard lock(mutex);
            EXPECT_TRUE(result.ok());
            EXPECT_EQ(result.value.pixels,
                      MakeThumbnail(*job.set, job.index, job.side, job.precision).value.pixels);
            made.push_back(job.index);
        },
        2);
    std::vector<ThumbnailJob> jobs;
    for (std::size_t i = 0; i < 64; ++i) {
        jobs.push_back({set.get(), 1, i, 32, Precision::kFull});
    }
    workers.Want(jobs);
    // Wanting others replaces what has not started.
    workers.Want({jobs[5], jobs[6]});
    workers.CancelAll();
    afterCancel = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(lateCalls, 0);
    EXPECT_EQ(workers.Pending(), 0u);
    {
        const std::lock_guard lock(mutex);
        EXPECT_LT(made.size(), 64u + 2u);
        made.clear();
    }
    afterCancel = false;
    workers.Want({jobs[7], jobs[8], jobs[9]});
    for (int wait = 0; wait < 500 && workers.Pending() > 0; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    workers.CancelAll();  // waits for the running ones
    const std::lock_guard lock(mutex);
    std::sort(made.begin(), made.end());
    EXPECT_EQ(made, (std::vector<std::size_t>{7, 8, 9}));
}

// The command line's contact sheet: the cells' layout, their thumbnails,
// and what it refuses.
TEST(ContactSheet, WritesTheThumbnailsOfACategoryWithTheirNames) {
    TempDir dir;
    test::SetFiles files;
    files.mode = "etc";
    files.listing =
        "cat=0 name=one\ncat=1 name=two\n\"red\" cat=1 width=4 height=4\n"
        "\"blue\" cat=1 width=4 height=2\n\"other\" cat=0 width=2 height=2\n";
    files.table = test::Le32({0, 0, 0, 40, 56});
    files.data.assign(8, 0);
    for (int i = 0; i < 16; ++i) {  // red, opaque: 0xF00F
        files.data.insert(files.data.end(), {0x0F, 0xF0});
    }
    files.data.resize(40 + 8, 0);
    for (int i = 0; i < 8; ++i) {  // blue, half transparent: 0x00F8
        files.data.insert(files.data.end(), {0xF8, 0x00});
    }
    const auto listing = test::WriteSet(dir, files);
    const auto sheet = dir / "sheet.png";
    // The sheet is opaque: thumbnails blended onto its background, whose
    // checkerboard is the viewer's; names dark, or light on a dark colour.
    struct Style {
        std::vector<std::string> args;
        std::uint32_t height;      // 32 + 2 x 4, and 4 + 13 a line of text
        std::array<int, 4> above;  // the background above the blue texture
        std::array<int, 4> blue;   // half transparent blue, blended
        bool lightText;
    };
    const std::vector<Style> styles = {
        {{}, 57, {128, 128, 128, 255}, {60, 60, 196, 255}, false},
        {{"--background", "white"}, 57, {255, 255, 255, 255}, {119, 119, 255, 255}, false},
        {{"--background", "black", "--labels", "name,size"},
         74,
         {0, 0, 0, 255},
         {0, 0, 136, 255},
         true},
        {{"--background", "#336699", "--labels", "none"},
         40,
         {51, 102, 153, 255},
         {24, 48, 207, 255},
         false},
    };
    for (const Style& style : styles) {
        std::vector<std::string> args = {"--mode",     "etc", "--contact-sheet", sheet.string(),
                                         "--category", "1",   "--size",          "32"};
        args.insert(args.end(), style.args.begin(), style.args.end());
        args.push_back(listing.string());
        const test::Outcome o = test::Inspect(dir, args);
        ASSERT_EQ(o.code, 0) << o.err;
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        const auto bytes = test::ReadBytes(sheet);
        ASSERT_TRUE(png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()));
        image.format = PNG_FORMAT_RGBA;
        std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
        // Two cells of 32 + 2 x 4 across.
        ASSERT_EQ(image.width, 80u);
        ASSERT_EQ(image.height, style.height);
        auto at = [&](std::uint32_t x, std::uint32_t y) {
            const std::uint8_t* p = &pixels[(std::size_t{y} * image.width + x) * 4];
            return std::array<int, 4>{p[0], p[1], p[2], p[3]};
        };
        EXPECT_EQ(at(4 + 16, 4 + 16), (std::array<int, 4>{255, 0, 0, 255}));  // red, x 17
        EXPECT_EQ(at(44 + 16, 4 + 16), style.blue);
        EXPECT_EQ(at(44 + 16, 4 + 2), style.above);
        // The name under the thumbnail: ink there.
        int ink = 0;
        for (std::uint32_t y = 40; y < std::min(53u, style.height); ++y) {
            for (std::uint32_t x = 4; x < 36; ++x) {
                ink += (style.lightText ? at(x, y)[0] > 128 : at(x, y)[0] < 64) ? 1 : 0;
            }
        }
        EXPECT_EQ(ink > 10, style.height > 40) << style.height;
    }

    const test::Outcome none = test::Inspect(
        dir,
        {"--mode", "etc", "--contact-sheet", sheet.string(), "--category", "5", listing.string()});
    EXPECT_EQ(none.code, 1);
    EXPECT_NE(none.err.find("no category 5 (the set has 2)"), std::string::npos) << none.err;
    const test::Outcome huge =
        test::Inspect(dir, {"--mode", "etc", "--contact-sheet", sheet.string(), "--size", "1024",
                            "--columns", "10000", listing.string()});
    EXPECT_EQ(huge.code, 0) << huge.err;  // three cells only: the columns shrink to them
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--contact-sheet", (dir / "s.bmp").string()},
             {"--contact-sheet", sheet.string(), "--size", "0"},
             {"--contact-sheet", sheet.string(), "--background", "#12345"},
             {"--contact-sheet", sheet.string(), "--labels", "size"},
             {"--background", "white"},
             {"--size", "64"}}) {
        std::vector<std::string> full = args;
        full.push_back(listing.string());
        EXPECT_EQ(test::Inspect(dir, full).code, 2) << args[0];
    }
}

TEST(ContactSheet, RefusesASheetTooLargeToHold) {
    TempDir dir;
    std::vector<Texture> textures(20000, Texture{4, 4});
    const auto set = MakeSet(dir, "dxt", textures);
    std::vector<std::size_t> entries(textures.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i] = i;
    }
    const auto sheet = MakeContactSheet(*set, entries, 1024, 8);
    EXPECT_FALSE(sheet.ok());
    EXPECT_NE(sheet.error.find("would be 8256 x 2622500 pixels"), std::string::npos) << sheet.error;
}

}  // namespace
}  // namespace marrowix
