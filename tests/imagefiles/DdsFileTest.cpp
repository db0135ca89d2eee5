// DDS files out: what they hold, read back by us and by the other tools
// present, and the round trip through --replace-from.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "decode/Image.h"
#include "repack/ImageInput.h"
#include "tests/TestFiles.h"
#include "tests/inspect/RunInspect.h"
#include "textureset/PreviewImage.h"
#include "textureset/TexelAccess.h"
#include "tools/SampleSet.h"

namespace marrowix::test {
namespace {

namespace fs = std::filesystem;

struct Exported {
    std::unique_ptr<CTextureSet> set;
    fs::path folder;
};

// The sample set's textures in `mode` as DDS files in dir/<mode>.
Exported ExportDds(const TempDir& dir, const std::string& mode) {
    const fs::path listing = dir / "set" / "world.txt";
    if (!fs::exists(listing)) {
        EXPECT_EQ(WriteSampleSet(dir / "set"), "");
    }
    const fs::path folder = dir / mode;
    const Outcome o = Inspect(dir, {"--mode", mode, "--export-all", folder.string(), "--format",
                                    "dds", listing.string()});
    EXPECT_EQ(o.code, 0) << o.err;
    return {OpenSet(listing, mode), folder};
}

fs::path DdsOf(const Exported& e, std::size_t index) {
    const std::string name = Utf8Name(e.set->GetEntry(index));
    for (const auto& file : fs::recursive_directory_iterator(e.folder)) {
        if (file.path().filename() == name + ".dds") {
            return file.path();
        }
    }
    return {};
}

TEST(DdsOut, HoldsTheBlocksAsStoredOrTheTexelsWidened) {
    TempDir dir;
    for (const std::string mode : {"dxt", "etc"}) {
        const Exported e = ExportDds(dir, mode);
        for (std::size_t i = 0; i < e.set->GetEntryCount(); ++i) {
            const Result<InputImage> image = ReadInputImage(DdsOf(e, i).string());
            ASSERT_TRUE(image.ok()) << mode << " " << i << ": " << image.error;
            const TextureEntry entry = e.set->GetEntry(i);
            if (mode == "dxt") {
                std::vector<std::uint8_t> stored(image.value.dxtBlocks.size());
                ReadEntryData(*e.set, entry, 0, stored.data(), stored.size());
                EXPECT_EQ(image.value.dxtBlocks, stored) << i;
                EXPECT_EQ(stored.size(), BlockDataSize(image.value.width, image.value.height));
            } else {
                const auto dib = BuildImageDib(*e.set, i, Precision::kFull);
                ASSERT_TRUE(dib.ok());
                EXPECT_TRUE(SamePixels(*ViewDib(dib.value), image.value.View())) << i;
            }
        }
    }
}

#ifndef _WIN32  // the other tools are run where they are installed, on Debian
// The RGBA bytes another tool decodes a DDS to, or none when it is absent.
struct Peer {
    const char* name;
    const char* probe;    // succeeds where the tool is installed
    const char* command;  // %1: the DDS, %2: raw RGBA bytes to write
    // nvdecompress 2.0.8 leaves the texels of blocks cut by the texture's
    // edge black (ImageMagick and PIL decode them): only textures of whole
    // blocks are held to it.
    bool wholeBlocksOnly = false;
};
#define MARROWIX_PIL_PYTHON                                                                        \
    "$(for p in python3 /usr/bin/python3; do $p -c 'import PIL' 2>/dev/null && echo $p && break; " \
    "done)"
constexpr Peer kPeers[] = {
    {"ImageMagick", "convert -version 2>/dev/null | grep -q ImageMagick", "convert '%1' rgba:'%2'"},
    {"PIL", "test -n \"" MARROWIX_PIL_PYTHON "\"",
     MARROWIX_PIL_PYTHON " -c \"import sys; from PIL import Image; "
                         "open(sys.argv[2],'wb').write(Image.open(sys.argv[1]).convert('RGBA')"
                         ".tobytes())\" '%1' '%2'"},
    {"nvdecompress",
     "command -v nvdecompress >/dev/null && convert -version 2>/dev/null | grep -q ImageMagick",
     "cp '%1' '%2.dds' && nvdecompress '%2.dds' >/dev/null && convert '%2.tga' rgba:'%2'", true},
};

std::string Fill(std::string text, const std::string& dds, const std::string& raw) {
    for (const auto& [mark, value] : {std::pair{"%1", dds}, std::pair{"%2", raw}}) {
        for (std::size_t at; (at = text.find(mark)) != std::string::npos;) {
            text.replace(at, 2, value);
        }
    }
    return text;
}

#endif

TEST(DdsOut, OtherToolsReadWhatWeWrite) {
#ifdef _WIN32
    GTEST_SKIP() << "the other tools are run where they are installed, on Debian";
#else
    TempDir dir;
    std::string absent;
    for (const Peer& peer : kPeers) {
        if (std::system(peer.probe) != 0) {
            absent += std::string(absent.empty() ? "" : ", ") + peer.name;
            continue;
        }
        for (const std::string mode : {"dxt", "etc"}) {
            const Exported e = fs::exists(dir / mode)
                                   ? Exported{OpenSet(dir / "set" / "world.txt", mode), dir / mode}
                                   : ExportDds(dir, mode);
            // sky (opaque), rings (alpha), tiny and wide (cut blocks)
            for (const std::size_t i : {0, 3, 7, 10}) {
                const TextureEntry entry = e.set->GetEntry(i);
                if (peer.wholeBlocksOnly && (entry.width % 4 != 0 || entry.height % 4 != 0)) {
                    continue;
                }
                const fs::path raw = dir / "peer.raw";
                fs::remove(raw);
                const std::string dds = DdsOf(e, i).string();
                ASSERT_EQ(std::system(Fill(peer.command, dds, raw.string()).c_str()), 0)
                    << peer.name << " " << dds;
                const auto dib = BuildImageDib(*e.set, i, Precision::kFull);
                ASSERT_TRUE(dib.ok());
                const ImageView ours = *ViewDib(dib.value);
                const std::vector<std::uint8_t> theirs = ReadBytes(raw);
                ASSERT_EQ(theirs.size(), ours.Texels() * 4) << peer.name << " " << dds;
                // A standard decoder widens end points by bit replication:
                // within 1 of ours for blocks, exact for widened texels.
                const int tolerance = mode == "dxt" ? 1 : 0;
                int worst = 0;
                for (std::uint32_t y = 0; y < ours.height; ++y) {
                    for (std::uint32_t x = 0; x < ours.width; ++x) {
                        const std::uint8_t* p = ours.Row(y) + x * 4;
                        const std::uint8_t* q =
                            theirs.data() + (std::size_t{y} * ours.width + x) * 4;
                        for (int c = 0; c < 4; ++c) {
                            worst = std::max(worst, std::abs(int(p[c == 3 ? 3 : 2 - c]) - q[c]));
                        }
                    }
                }
                EXPECT_LE(worst, tolerance) << peer.name << " " << dds;
            }
        }
    }
    if (!absent.empty()) {
        GTEST_SKIP() << "not installed: " << absent;
    }
#endif
}

TEST(DdsOut, ReplacedFromTheUntouchedFolderIsTheSourceSetByteForByte) {
    TempDir dir;
    for (const std::string mode : {"dxt", "etc"}) {
        const Exported e = ExportDds(dir, mode);
        const fs::path listing = dir / "set" / "world.txt";
        const fs::path copy = dir / ("copy-" + mode) / "world.txt";
        const Outcome o = Inspect(dir, {"--mode", mode, "--replace-from", e.folder.string(),
                                        "--output-set", copy.string(), listing.string()});
        ASSERT_EQ(o.code, 0) << o.err;
        EXPECT_EQ(o.out.find("replaced"), std::string::npos) << o.out;
        // The encoding named is the one written.
        for (const std::string& file :
             {std::string("world.txt"), "world." + mode + ".toc", "world." + mode + ".dat"}) {
            EXPECT_EQ(ReadBytes(copy.parent_path() / file), ReadBytes(dir / "set" / file))
                << mode << " " << file;
        }
    }
    // One block changed is taken as it is; a PNG beside the DDS is two
    // pictures for one entry.
    const fs::path rings = DdsOf(ExportDds(dir, "dxt"), 3);
    std::vector<std::uint8_t> bytes = ReadBytes(rings);
    bytes[128 + 16 + 5] ^= 0x5A;
    WriteBytes(rings, bytes);
    fs::copy_file(rings, dir / "dxt" / "gradients" / "sky.png");
    const Outcome o = Inspect(
        dir, {"--replace-from", (dir / "dxt").string(), "--output-set",
              (dir / "edited" / "world.txt").string(), (dir / "set" / "world.txt").string()});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_NE(o.out.find("replaced entry 3 \"rings\" (dxt, its DXT5 blocks taken as they are)"),
              std::string::npos)
        << o.out;
    EXPECT_NE(o.out.find("sky.dds' are there: one picture an entry"), std::string::npos) << o.out;
    const Outcome back = Inspect(dir, {"--export", "3", "--output", (dir / "back.dds").string(),
                                       (dir / "edited" / "world.txt").string()});
    ASSERT_EQ(back.code, 0) << back.err;
    EXPECT_EQ(ReadBytes(dir / "back.dds"), bytes);
}

}  // namespace
}  // namespace marrowix::test
